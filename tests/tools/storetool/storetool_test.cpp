// The store tool, run as a person runs it: command lines in, text out.
#include "tools/storetool/storetool.h"

#include "platform/maildir/side_file.h"

#include "tests/platform/maildir/layout_fixture.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string MESSAGE = "From: Ann Example <ann@example.org>\r\nTo: bob@example.org\r\n"
                            "Subject: =?utf-8?q?Caf=C3=A9?=\r\n\r\nhello\r\n";

// What one run printed.
struct ToolRun {
  int status;      // exit status
  std::string out; // standard output
  std::string err; // standard error
};

class StoreToolTest : public TempRootTest {
protected:
  ToolRun run(std::vector<std::string> args, const std::string &input = {})
  {
    std::istringstream in(input);
    std::ostringstream out, err;
    int status = runStoreTool(args, in, out, err);
    return {status, out.str(), err.str()};
  }

  // The unique name from a "Store/Folder/unique" line.
  static std::string uniqueOf(const std::string &line)
  {
    std::string s = line.substr(0, line.find('\n'));
    return s.substr(s.rfind('/') + 1);
  }
};

TEST_F(StoreToolTest, HelpAndBadUsage)
{
  ToolRun help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: qm-store"), std::string::npos);
  EXPECT_NE(help.out.find("--header-only"), std::string::npos);
  const std::vector<std::string> bad[] = {
      {},
      {"frobnicate"},
      {"--nonsense", "stores"},
      {"show"},
      {"show", "no-slash"},
      {"deliver", "--age", "soon"},
      {"deliver", "--to", "Local/../x"},
      {"mark", "Local/Inbox/x", "sideways"},
      {"mkstore", ".hidden"},
      {"stores", "extra"},
  };
  for (const auto &args : bad) {
    ToolRun r = run(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_EQ(run({"show", "Local/Inbox/missing"}).status, 1);
}

TEST_F(StoreToolTest, DeliverListShowAndCompleteADownload)
{
  ToolRun full = run({"deliver"}, MESSAGE);
  ASSERT_EQ(full.status, 0) << full.err;
  std::string fullName = uniqueOf(full.out);
  EXPECT_TRUE(fs::exists(root / "Mail" / "Local" / "Inbox" / "new" / fullName));

  std::ofstream(root / "m.eml", std::ios::binary) << MESSAGE;
  ToolRun partial = run({"deliver", "--header-only", "--read", (root / "m.eml").string()});
  ASSERT_EQ(partial.status, 0) << partial.err;
  std::string partialRef = partial.out.substr(0, partial.out.find('\n'));

  ToolRun list = run({"list"});
  ASSERT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("Local/Inbox: 2 messages, 1 unread"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find(fullName + "  ----  " + std::to_string(MESSAGE.size())), std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find(uniqueOf(partial.out) + "  RH--"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("Ann Example <ann@example.org>  Caf\xC3\xA9"), std::string::npos);

  ToolRun show = run({"show", partialRef});
  ASSERT_EQ(show.status, 0);
  EXPECT_NE(show.out.find("Subject      Caf\xC3\xA9\n"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("Status       0x00010000 (header only)"), std::string::npos) << show.out;
  // The entry id it prints names the same message.
  std::string hex = show.out.substr(show.out.find("Entry id") + 13);
  hex = hex.substr(0, hex.find('\n'));
  EXPECT_EQ(run({"show", hex}).out, show.out);

  EXPECT_EQ(run({"pending"}).out, partialRef + "\n");
  EXPECT_EQ(run({"complete"}).out, ""); // not marked yet
  ASSERT_EQ(run({"mark", partialRef, "download"}).status, 0);
  EXPECT_EQ(run({"pending"}).out, partialRef + "  marked\n");
  EXPECT_EQ(run({"complete"}).out, "completed " + partialRef + "\n");
  EXPECT_EQ(run({"pending"}).out, "");
  fs::path done = root / "Mail" / "Local" / "Inbox" / "cur" / (uniqueOf(partial.out) + ":2,S");
  std::ifstream f(done, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), {}), MESSAGE);
  EXPECT_FALSE(fs::exists(root / "Mail" / "Local" / "Inbox" / SIDE_FILE_NAME));

  ASSERT_EQ(run({"mark", partialRef, "unread"}).status, 0);
  EXPECT_TRUE(fs::exists(root / "Mail" / "Local" / "Inbox" / "cur" / (uniqueOf(partial.out) + ":2,")));
}

TEST_F(StoreToolTest, StoresAndFoldersAreMadeWhereDeliveriesGo)
{
  ASSERT_EQ(run({"mkstore", "Work"}).status, 0);
  ToolRun d = run({"deliver", "--to", "Work/Inbox/Lists"}, MESSAGE);
  ASSERT_EQ(d.status, 0) << d.err;
  ToolRun mk = run({"mkfolder", "Work", "Inbox/Projects"});
  ASSERT_EQ(mk.status, 0) << mk.err;
  EXPECT_EQ(mk.out, "Work/Inbox%2FProjects\n");
  // With a store there, no Local store is made.
  EXPECT_EQ(run({"stores"}).out, "Work  " + (root / "Mail" / "Work").string() + "\n");
  ToolRun folders = run({"folders", "Work"});
  EXPECT_EQ(folders.out, "Work  0 messages\n"
                         "Work/Deleted Items  0 messages\n"
                         "Work/Drafts  0 messages\n"
                         "Work/Inbox  0 messages\n"
                         "Work/Inbox/Lists  1 message, 1 unread\n"
                         "Work/Inbox%2FProjects  \"Inbox/Projects\"  0 messages\n"
                         "Work/Outbox  0 messages\n"
                         "Work/Sent Items  0 messages\n");
  EXPECT_EQ(run({"folders", "Nowhere"}).status, 1);
}

TEST_F(StoreToolTest, AnUnreadableFileEndsNoCommandWithAnAbort)
{
  std::string unique = uniqueOf(run({"deliver"}, MESSAGE).out);
  fs::create_directories(root / "Mail" / "Local" / "Inbox" / SIDE_FILE_NAME);
  testing::internal::CaptureStderr();
  ToolRun list = run({"list"});
  ToolRun show = run({"show", "Local/Inbox/" + unique});
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find(unique), std::string::npos) << list.out;
  EXPECT_EQ(show.status, 0) << show.err;
  EXPECT_NE(said.find(SIDE_FILE_NAME), std::string::npos) << said;
  // A directory given as the message to deliver.
  ToolRun deliverDir = run({"deliver", root.string()});
  EXPECT_EQ(deliverDir.status, 1);
  EXPECT_NE(deliverDir.err.find(root.string()), std::string::npos) << deliverDir.err;
}

TEST_F(StoreToolTest, LookingCreatesNothingAndOptionsAreChecked)
{
  fs::path nowhere = root / "nowhere";
  for (const char *command : {"stores", "folders", "list", "pending"}) {
    ToolRun r = run({"--root", nowhere.string(), command});
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.err.find("no message store"), std::string::npos) << command << ": " << r.err;
    EXPECT_FALSE(fs::exists(nowhere)) << command;
  }
  // A store without its standard folders stays without them.
  fs::create_directories(root / "Mail" / "Bare" / "cur");
  EXPECT_EQ(run({"--root", root.string(), "list"}).status, 0);
  EXPECT_EQ(run({"--root", root.string(), "folders"}).out, "Bare  0 messages\n");
  EXPECT_FALSE(fs::exists(root / "Mail" / "Bare" / "Inbox"));
  EXPECT_FALSE(fs::exists(root / "Mail" / "Local"));
  EXPECT_FALSE(fs::exists(root / "Transport"));

  struct Bad {
    std::vector<std::string> args;
    const char *said;
  } bad[] = {
      {{"--root"}, "--root needs a value"},
      {{"deliver", "--to"}, "--to needs a value"},
      {{"deliver", "--age"}, "--age needs a value"},
      {{"watch", "--count", "x"}, "--count"},
      {{"watch", "--count", "-1"}, "--count"},
  };
  for (const Bad &b : bad) {
    ToolRun r = run(b.args);
    EXPECT_EQ(r.status, 2) << b.args.back();
    EXPECT_NE(r.err.find(b.said), std::string::npos) << r.err;
  }
}

TEST_F(StoreToolTest, LookingIntoExistingStoresChangesNothingOnDisk)
{
  layouts::dovecotStore(root / "Mail" / "Home");
  layouts::mbsyncStore(root / "Mail" / "Sync");
  auto before = layouts::snapshot(root);
  ToolRun folders = run({"folders"});
  EXPECT_EQ(folders.status, 0) << folders.err;
  EXPECT_NE(folders.out.find("Home/Work/Projects  1 message\n"), std::string::npos) << folders.out;
  EXPECT_NE(folders.out.find("Home/Entw&APw-rfe  \"Entw\xc3\xbcrfe\"  0 messages\n"), std::string::npos)
      << folders.out;
  EXPECT_NE(folders.out.find("Sync/INBOX  2 messages, 1 unread\n"), std::string::npos) << folders.out;
  ToolRun list = run({"list"});
  EXPECT_NE(list.out.find("Home: 2 messages, 1 unread\n"), std::string::npos) << list.out;
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"stores"}, {"list", "Home/Sent"}, {"show", "Home/1700000001.M1P11.mx"}, {"pending"}}) {
    ToolRun r = run(args);
    EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
  }
  EXPECT_EQ(layouts::snapshot(root), before);
}

// An output stream that a watching thread and the test share.
class SharedOut : public std::stringbuf {
public:
  int sync() override
  {
    std::lock_guard<std::mutex> g(lock);
    text += str();
    str("");
    changed.notify_all();
    return 0;
  }
  // Waits for the text to hold `what`: at most thirty seconds, since the
  // watching thread may not run for seconds on a busy machine.
  bool waitFor(const std::string &what)
  {
    std::unique_lock<std::mutex> g(lock);
    return changed.wait_for(g, std::chrono::seconds(30),
                            [&] { return text.find(what) != std::string::npos; });
  }
  std::mutex lock;                   // guards text
  std::condition_variable changed;   // text grew
  std::string text;                  // everything flushed so far
};

TEST_F(StoreToolTest, WatchPrintsWhatTheProgramIsTold)
{
  ASSERT_EQ(run({"mkstore", "Local"}).status, 0);
  SharedOut buffer;
  std::ostream out(&buffer);
  std::istringstream in;
  std::ostringstream err;
  int status = -1;
  std::thread watcher([&] { status = runStoreTool({"watch", "--count", "2"}, in, out, err); });
  ASSERT_TRUE(buffer.waitFor("watching"));
  std::string delivered = run({"deliver"}, MESSAGE).out;
  ASSERT_TRUE(buffer.waitFor("new mail message " + delivered));
  watcher.join();
  EXPECT_EQ(status, 0);
  EXPECT_NE(buffer.text.find("created message " + delivered), std::string::npos);
}

TEST_F(StoreToolTest, AWatchOnARootWithoutMailSeesTheStoresThatCome)
{
  SharedOut buffer;
  std::ostream out(&buffer);
  std::istringstream in;
  std::ostringstream err;
  int status = -1;
  std::thread watcher([&] { status = runStoreTool({"watch", "--count", "2"}, in, out, err); });
  ASSERT_TRUE(buffer.waitFor("watching"));
  EXPECT_FALSE(fs::exists(root / "Mail"));
  // A mail root with a store and its mail arrives whole, as a move puts it there.
  layouts::maildir(root / "incoming" / "Later" / "Inbox");
  layouts::put(root / "incoming" / "Later" / "Inbox" / "new" / "1700000001.M1P1.host", MESSAGE);
  fs::rename(root / "incoming", root / "Mail");
  ASSERT_TRUE(buffer.waitFor("new mail message Later/Inbox/1700000001.M1P1.host"));
  watcher.join();
  EXPECT_EQ(status, 0);
  EXPECT_NE(buffer.text.find("created message Later/Inbox/1700000001.M1P1.host"), std::string::npos);
}

} // namespace
