// Maildir names, delivery and the side file.
#include "platform/maildir/maildir_folder.h"
#include "platform/maildir/maildir_name.h"
#include "platform/maildir/message_content.h"
#include "platform/maildir/mime.h"
#include "platform/maildir/side_file.h"

#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

TEST(MaildirName, SplitAndFlags)
{
  MaildirName n = splitMaildirName("1700000000.M1P2.host:2,FS");
  EXPECT_EQ(n.unique, "1700000000.M1P2.host");
  EXPECT_EQ(n.info, "2,FS");
  EXPECT_EQ(splitMaildirName("plain").info, "");
  EXPECT_TRUE(hasMaildirFlag("2,FS", 'S'));
  EXPECT_FALSE(hasMaildirFlag("1,S", 'S')); // experimental info holds no flags
  EXPECT_FALSE(hasMaildirFlag("", 'S'));

  struct {
    const char *info;
    char flag;
    bool set;
    const char *result;
  } cases[] = {
      {"", 'S', true, "2,S"},       {"2,", 'S', true, "2,S"},     {"2,FT", 'S', true, "2,FST"},
      {"2,S", 'S', true, "2,S"},    {"2,RSa", 'S', false, "2,Ra"}, {"2,ab", 'F', true, "2,Fab"},
      {"1,xyz", 'S', true, "2,S"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(withMaildirFlag(c.info, c.flag, c.set), c.result) << c.info;
  EXPECT_EQ(curFileName("u", ""), "u:2,");
  EXPECT_EQ(curFileName("u", "2,S"), "u:2,S");
  EXPECT_FALSE(isMessageFileName(".hidden"));
}

TEST(MaildirName, UniqueNamesDifferAndHoldNoSeparator)
{
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    std::string u = makeUniqueName();
    EXPECT_EQ(u.find(':'), std::string::npos);
    EXPECT_EQ(u.find('/'), std::string::npos);
    EXPECT_TRUE(seen.insert(u).second);
  }
}

TEST(MaildirFolder, DeliveryGoesThroughTmpIntoNewOrCur)
{
  TempDir dir;
  fs::path f = dir.path / "Inbox";
  ASSERT_TRUE(ensureMaildir(f));
  ASSERT_TRUE(ensureMaildir(f)); // already there: fine
  auto u = deliverMessageFile(f, "Subject: a\n\nbody\n", {std::nullopt, 1000000000, std::nullopt});
  ASSERT_TRUE(u);
  EXPECT_EQ(*readWholeFile(f / "new" / *u), "Subject: a\n\nbody\n");
  struct stat st;
  ASSERT_EQ(stat((f / "new" / *u).c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1000000000);
  auto seen = deliverMessageFile(f, "x", {std::string("2,S"), std::nullopt, std::nullopt});
  ASSERT_TRUE(seen);
  EXPECT_TRUE(fs::exists(f / "cur" / (*seen + ":2,S")));
  EXPECT_TRUE(fs::is_empty(f / "tmp"));

  std::vector<MessageFile> files = listMessageFiles(f);
  ASSERT_EQ(files.size(), 2u);
  // Subfolders are the directories beside cur/new/tmp, except dot directories.
  fs::create_directory(f / "Work");
  fs::create_directory(f / ".notmuch");
  std::ofstream(f / "file-not-folder");
  EXPECT_EQ(listSubfolders(f), std::vector<std::string>{"Work"});
  // A delivery into a folder without tmp/ fails and leaves nothing.
  EXPECT_FALSE(deliverMessageFile(dir.path / "missing", "x"));
}

TEST(MaildirFolder, RenameNeverReplaces)
{
  TempDir dir;
  std::ofstream(dir.path / "a") << "a";
  std::ofstream(dir.path / "b") << "b";
  EXPECT_FALSE(renameNoReplace(dir.path / "a", dir.path / "b"));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(*readWholeFile(dir.path / "b"), "b");
  EXPECT_TRUE(renameNoReplace(dir.path / "a", dir.path / "c"));
}

SideEntries sampleEntries()
{
  SideEntries e;
  e["1.M1P1.h"].status = 0x00011000;
  e["2.M2P2.h"].displayTo = u"Ann <a@x>\ttab\nline %41";
  e["2.M2P2.h"].displayCc = u"";
  e["3.weird\tname%"].status = 0;
  e["3.weird\tname%"].displayCc = u"\u041F\u0440";
  return e;
}

TEST(SideFile, RoundTrip)
{
  SideEntries e = sampleEntries();
  std::string text = formatSideFile(e);
  EXPECT_EQ(text.substr(0, 18), "quillmarsh-side 1\n");
  EXPECT_EQ(parseSideFile(text), e);
  e["4.empty"] = SideEntry{};
  EXPECT_EQ(parseSideFile(formatSideFile(e)).count("4.empty"), 0u);
}

TEST(SideFile, CutOrGarbledFileKeepsOnlySoundLines)
{
  SideEntries e = sampleEntries();
  std::string text = formatSideFile(e);
  // Cut at every length: every entry read back is one that was written.
  for (std::size_t n = 0; n <= text.size(); ++n) {
    SideEntries got = parseSideFile(text.substr(0, n));
    for (const auto &[unique, entry] : got)
      EXPECT_EQ(entry, e.at(unique)) << n;
    if (n == text.size()) {
      EXPECT_EQ(got.size(), e.size());
    }
  }
  // One byte changed anywhere: that line is dropped, the others stay.
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::string garbled = text;
    garbled[i] = static_cast<char>(garbled[i] ^ 0x21);
    SideEntries got = parseSideFile(garbled);
    EXPECT_GE(got.size(), e.size() - 2) << i;
    for (const auto &[unique, entry] : got) {
      ASSERT_TRUE(e.count(unique)) << i;
      EXPECT_EQ(entry, e.at(unique)) << i;
    }
  }
}

TEST(SideFile, UpdateReplacesAtomicallyAndRemovesWhenEmpty)
{
  TempDir dir;
  ASSERT_TRUE(updateSideFile(dir.path, [](SideEntries &e) {
    e["u1"].status = 0x1000;
    return true;
  }));
  EXPECT_EQ(readSideFile(dir.path).at("u1").status, 0x1000u);
  ASSERT_TRUE(updateSideFile(dir.path, [](SideEntries &e) {
    e.erase("u1");
    return true;
  }));
  EXPECT_FALSE(fs::exists(dir.path / SIDE_FILE_NAME));
  // No temporary files are left behind.
  EXPECT_TRUE(fs::is_empty(dir.path));
  // A damaged file is read as far as it is sound and rewritten whole.
  std::string text = formatSideFile(sampleEntries());
  std::ofstream(dir.path / SIDE_FILE_NAME) << text.substr(0, text.size() - 5);
  ASSERT_TRUE(updateSideFile(dir.path, [](SideEntries &) { return true; }));
  EXPECT_EQ(readSideFile(dir.path).size(), 2u);
}

TEST(SideFile, ASideFileThatIsNotARegularFileIsNeverReadNorBlocks)
{
  TempDir dir;
  ASSERT_EQ(mkfifo((dir.path / SIDE_FILE_NAME).c_str(), 0600), 0);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(readSideFile(dir.path).empty());
  EXPECT_TRUE(readSideFile(dir.path).empty());
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("not a regular file"), std::string::npos) << said;
  EXPECT_EQ(said.find("not a regular file"), said.rfind("not a regular file")) << "said once: " << said;
  // Written, it becomes a sound file; a link to /dev/zero is not followed either.
  ASSERT_TRUE(updateSideFile(dir.path, [](SideEntries &e) {
    e["u1"].status = 0x1000;
    return true;
  }));
  EXPECT_EQ(readSideFile(dir.path).at("u1").status, 0x1000u);
  fs::remove(dir.path / SIDE_FILE_NAME);
  fs::create_symlink("/dev/zero", dir.path / SIDE_FILE_NAME);
  EXPECT_TRUE(readSideFile(dir.path).empty());
}

// The content read from a file's first bytes is what the whole text gives,
// for files whose deciding bytes lie beyond the first read or nowhere.
TEST(MessageContent, ReadingOnlyTheNeededBytesGivesWhatTheWholeTextGives)
{
  TempDir dir;
  const std::string longTo = "To: " + std::string(40000, 'x') + "@example.org\n";
  const std::string mixedHead = "Subject: s\nContent-Type: multipart/mixed; boundary=BB\n";
  const std::string textPart = "--BB\nContent-Type: text/plain\n\n" + std::string(100000, 't') + "\n";
  const std::string pdfPart = "--BB\nContent-Type: application/pdf\n\n%PDF" + std::string(9000, 'p') + "\n--BB--\n";
  const struct {
    const char *what;
    std::string text;
  } cases[] = {
      {"headers longer than the first read", longTo + mixedHead + "\n" + textPart + pdfPart},
      {"attachment far into the body", mixedHead + "\n" + textPart + pdfPart},
      {"attachment beyond 256 KiB", mixedHead + "\n" + textPart + textPart + textPart + pdfPart},
      {"alternative read to its end", "Content-Type: multipart/alternative; boundary=BB\n\n" + textPart + textPart +
                                          "--BB--\n"},
      {"headers without an end", longTo + "Subject: only headers\n" + longTo},
      {"plain text", "From: a@b\nSubject: hi\n\n" + std::string(70000, 'b')},
      {"empty file", ""},
  };
  for (const auto &c : cases) {
    fs::path file = dir.path / "m";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.text;
    auto read = maildir::readMessageContent(file.native());
    ASSERT_TRUE(read) << c.what;
    MessageSummary whole = summarizeHeaders(c.text);
    EXPECT_EQ(read->summary.subject, whole.subject) << c.what;
    EXPECT_EQ(read->summary.displayTo, whole.displayTo) << c.what;
    EXPECT_EQ(read->summary.headerLength, whole.headerLength) << c.what;
    EXPECT_EQ(read->hasAttachments, messageHasAttachments(c.text)) << c.what;
  }
  fs::create_symlink("/dev/zero", dir.path / "link");
  errno = 0;
  EXPECT_FALSE(maildir::readMessageContent((dir.path / "link").native()));
  EXPECT_NE(errno, 0);
  ASSERT_EQ(mkfifo((dir.path / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(maildir::readMessageContent((dir.path / "fifo").native()));
  EXPECT_EQ(errno, EINVAL);
}

} // namespace
