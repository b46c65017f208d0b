// The Inbox's menu extension end to end, in three processes: the program runs
// with the real extension library beside it, the Inbox host loads the library
// through the keys the program's start wrote and builds its menu, and the
// store tool asks the program what it now knows.
#include "tests/program/program_fixture.h"

namespace {

CommandRun inbox(const std::vector<std::string> &args) { return runCommand(QM_INBOX_PATH, args); }

std::string menuOf(const std::string &fourth, const char *state = "")
{
  std::string s(state);
  return "Sorrelby\n  Create Filter..." + s + "\n  Create Appointment..." + s + "\n  Create Task..." + s +
         "\n  " + fourth + s + "\n";
}

using InboxMenu = ChannelProgram;

} // namespace

TEST_F(InboxMenu, CommandsFromTheInboxReachTheRunningProgram)
{
  makeStore();
  deliver(store() / "Inbox", "1.M1.host",
          message("Ann Smith <ann@example.org>", "Lunch on Friday", "i1@x"));
  deliver(store() / "Outbox", "2.M2.host", message("me@example.org", "Draft", "i2@x"));
  const std::string inInbox = "Local/Inbox/1.M1.host";

  // Before the program runs nothing is registered: the menu is empty.
  EXPECT_EQ(inbox({"menu", inInbox}).output.rfind("(no items", 0), 0u);

  Installation inst;
  pid_t pid = start(inst, root);
  ASSERT_TRUE(waitFor([] { return extensionKeys() == 6; }));
  CommandRun run;
  ASSERT_TRUE(waitFor([&] { return (run = inbox({"menu", inInbox})).output == menuOf("Mark as Known"); }))
      << run.output;
  EXPECT_EQ(run.status, 0);
  // The softkey menu's extension is the same object of the other kind.
  EXPECT_EQ(inbox({"menu", "--softkey", inInbox}).output, menuOf("Mark as Known"));
  // In the Outbox the commands are greyed, and cannot be chosen.
  EXPECT_EQ(inbox({"menu", "Local/Outbox/2.M2.host"}).output, menuOf("Mark as Known", "  (greyed)"));
  run = inbox({"invoke", "Local/Outbox/2.M2.host", "Mark as Known"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("greyed"), std::string::npos) << run.output;

  // "Mark as Known": the program knows the sender, and the label turns.
  run = inbox({"invoke", inInbox, "Mark as Known"});
  EXPECT_EQ(run.output, "Mark as Known: S_OK\n");
  EXPECT_EQ(runCommand(QM_STORE_PATH, {"command", "is-known", inInbox}).output, "1\n");
  EXPECT_EQ(inbox({"menu", inInbox}).output, menuOf("Mark as Unknown"));
  EXPECT_TRUE(waitFor([&] {
    return readFile("Application Data/Brindlewick/KnownUsers.dat") == knownUser("ann@example.org", 2);
  }));

  // "Create Task...": a task file.
  EXPECT_EQ(inbox({"invoke", inInbox, "Create Task..."}).output, "Create Task...: S_OK\n");
  std::error_code ec;
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "PIM/Tasks", ec), fs::directory_iterator()), 1);

  // An item the menu does not have.
  run = inbox({"invoke", inInbox, "Reply"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("no item"), std::string::npos) << run.output;

  // The program is gone without its shutdown (the keys stay): the label is
  // "Mark as Known" again and invoking changes nothing.
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  finish(pid);
  EXPECT_EQ(extensionKeys(), 6);
  EXPECT_EQ(inbox({"menu", inInbox}).output, menuOf("Mark as Known"));
  EXPECT_EQ(inbox({"invoke", inInbox, "Mark as Known"}).output, "Mark as Known: S_OK\n");
  EXPECT_EQ(readFile("Application Data/Brindlewick/KnownUsers.dat"), knownUser("ann@example.org", 2));

  // A run that ends in order leaves none of the six keys.
  // A start after a kill first finishes what the killed run left; on a busy
  // test machine that has taken longer than the usual bound.
  pid = start(inst, root);
  ASSERT_TRUE(waitFor([&] { return runCommand(QM_STORE_PATH, {"command", "is-known", inInbox}).output == "1\n"; },
                      std::chrono::seconds(60)));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
  EXPECT_EQ(extensionKeys(), 0);
  EXPECT_EQ(inbox({"menu", inInbox}).output.rfind("(no items", 0), 0u);
}

TEST_F(InboxMenu, OnAnEmptyDataRootTheHostMakesNoStore)
{
  // Whatever it is asked, the host only looks: the store is the program's
  // to make when it first starts.
  CommandRun run = inbox({});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("(no message store yet: the program makes \"Local\" when it first starts)\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(inbox({"menu", "Local/Inbox/1.M1.host"}).status, 1);
  EXPECT_EQ(inbox({"invoke", "Local/Inbox/1.M1.host", "Mark as Known"}).status, 1);
  EXPECT_FALSE(fs::exists(root / "Mail"));
  EXPECT_FALSE(fs::exists(root / "Transport"));
}
