// The user's own mail as it is: a Maildir++ store that an IMAP server or a
// sync tool wrote, linked into Mail/, sorted by the program, and read back
// by another program that reads Maildir++ (Python's mailbox module).
#include "platform/maildir/maildir_folder.h"
#include "tests/platform/maildir/layout_fixture.h"
#include "tests/program/program_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sys/wait.h>

namespace {

// What Python's Maildir reader says of a store: "folder\tMessage-ID\tflags"
// lines, sorted; nothing without python3.
std::optional<std::set<std::string>> pythonSees(const fs::path &store)
{
  if (std::system("command -v python3 >/dev/null 2>&1") != 0)
    return std::nullopt;
  std::string command = "python3 '" + std::string(QM_PROGRAM_TEST_DIR) + "/read_maildir.py' '" +
                        store.string() + "' 2>&1";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return std::nullopt;
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    text.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << text;
  std::set<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.insert(text.substr(start, end - start));
  return lines;
}

TEST_F(Program, StoresMadeOrLinkedIntoMailWhileItRunsAreSorted)
{
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rulesFile({{u"", u"invoice", u"Bills"}}));
  Installation inst;
  pid_t pid = start(inst, root);
  deliver(store() / "Inbox", "1700000100.M100P1.mx", message("ann@example.org", "Invoice 0", "m0@x"));
  ASSERT_TRUE(waitFor([&] { return folderOf(store(), "m0@x") == "Inbox/Bills"; })) << "running";

  // A store made elsewhere and moved in whole, and a mail tree linked in.
  fs::path made = root / "Real.new";
  fs::create_directories(made);
  ASSERT_TRUE(ensureMaildir(made / "Inbox"));
  deliver(made / "Inbox", "1700000101.M101P1.mx", message("ann@example.org", "Invoice 1", "m1@x"));
  fs::rename(made, root / "Mail" / "Real");
  TempDir elsewhere;
  fs::path tree = elsewhere.path / "Maildir";
  layouts::dovecotStore(tree);
  deliver(tree, "1700000102.M102P1.mx", message("ann@example.org", "Invoice 2", "m2@x"));
  fs::create_symlink(tree, root / "Mail" / "Home");
  EXPECT_TRUE(waitFor([&] { return folderOf(root / "Mail" / "Real", "m1@x") == "Inbox/Bills"; }))
      << folderOf(root / "Mail" / "Real", "m1@x");
  EXPECT_TRUE(waitFor([&] { return folderOf(tree, "m2@x") == ".Bills"; })) << folderOf(tree, "m2@x");
  // And watched from then on.
  deliver(tree, "1700000103.M103P1.mx", message("ann@example.org", "Invoice 3", "m3@x"));
  EXPECT_TRUE(waitFor([&] { return folderOf(tree, "m3@x") == ".Bills"; })) << folderOf(tree, "m3@x");
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
}

TEST_F(Program, SortsTheTopLevelMailOfAMaildirPlusPlusStoreWhereOtherProgramsLook)
{
  TempDir elsewhere;
  fs::path home = elsewhere.path / "Maildir";
  layouts::dovecotStore(home);
  fs::create_directories(root / "Mail");
  fs::create_symlink(home, root / "Mail" / "Home");
  writeFile("Application Data/Brindlewick/Brindlewick.dat",
            rulesFile({{u"", u"invoice", u"Bills"},
                       {u"", u"project", u"Work"},
                       {u"", u"entwurf", u"Entwürfe"},
                       {u"spam@bad.example", u"", u">> DELETE <<"}}));
  deliver(home, "1700000101.M101P1.mx", message("Ann <ann@example.org>", "Invoice 12", "m1@x"));
  deliver(home, "1700000102.M102P1.mx", message("carl@example.org", "Project plan", "m2@x"));
  deliver(home, "1700000103.M103P1.mx", message("spam@bad.example", "Win", "m3@x"));
  deliver(home, "1700000104.M104P1.mx", message("dora@example.org", "Entwurf", "m4@x"));
  deliver(home, "1700000105.M105P1.mx", message("carl@example.org", "Hello", "m5@x"));
  auto uidlist = layouts::snapshot(home)["dovecot-uidlist"];

  Installation inst;
  pid_t pid = start(inst, root);
  // The top Maildir is the Inbox: its mail is sorted into the folders
  // beside it, new ones made as Maildir++ folders.
  fs::path store = root / "Mail" / "Home";
  EXPECT_TRUE(waitFor([&] { return folderOf(store, "m1@x") == ".Bills"; })) << folderOf(store, "m1@x");
  EXPECT_TRUE(waitFor([&] { return folderOf(store, "m2@x") == ".Work"; })) << folderOf(store, "m2@x");
  EXPECT_TRUE(waitFor([&] { return folderOf(store, "m3@x") == ".Trash"; })) << folderOf(store, "m3@x");
  EXPECT_TRUE(waitFor([&] { return folderOf(store, "m4@x") == ".Entw&APw-rfe"; })) << folderOf(store, "m4@x");
  EXPECT_EQ(folderOf(store, "m5@x"), ".");
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);

  // Nothing in the program's own layout was made there, and Dovecot's files are as they were.
  for (const char *own : {"Inbox", "Deleted Items", "Sent Items", "Outbox", "Drafts", ".Deleted Items"})
    EXPECT_FALSE(fs::exists(home / own)) << own;
  EXPECT_EQ(layouts::snapshot(home)["dovecot-uidlist"], uidlist);
  EXPECT_FALSE(fs::exists(root / "Mail" / "Local"));

  auto seen = pythonSees(home);
  if (!seen) {
    std::printf("python3 is not installed: the store is not read back\n");
    return;
  }
  // Every message where Python's reader expects it, the flags of the ones
  // that stayed as they were.
  const std::set<std::string> expected = {
      "INBOX\t<m5@x>\t",       "Bills\t<m1@x>\t",    "Work\t<m2@x>\t",
      "Trash\t<m3@x>\t",       "Entw&APw-rfe\t<m4@x>\t", "INBOX\tNone\t",
      "INBOX\tNone\tFSa",      "Sent\tNone\tS",      "Work.Projects\tNone\tRS"};
  EXPECT_EQ(*seen, expected);
}

} // namespace
