// The Inbox menu's commands end to end: the real program runs headless on a
// Maildir data root with a channel folder of its own, and the store tool's
// client, another process, sends it commands for a delivered message.
#include "tests/program/program_fixture.h"
#include "tests/support/icalendar_reader.h"

#include <cstdio>

namespace {

CommandRun client(const std::vector<std::string> &args) { return runCommand(QM_STORE_PATH, args); }

std::vector<fs::path> filesIn(const fs::path &folder)
{
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto &e : fs::directory_iterator(folder, ec))
    files.push_back(e.path());
  return files;
}

using ProgramCommands = ChannelProgram;

} // namespace

TEST_F(ProgramCommands, MenuCommandsForADeliveredMessage)
{
  makeStore();
  deliver(store() / "Inbox", "1.M1.host",
          "From: Ann Smith <ann@example.org>\r\nTo: me@example.org\r\nSubject: Lunch on Friday\r\n"
          "Message-ID: <c1@x>\r\nContent-Type: text/plain; charset=utf-8; format=flowed\r\n\r\n"
          "Gr\xC3\xBC\xC3\x9F" "e,\r\nsee you\r\n");
  const std::string message = "Local/Inbox/1.M1.host";

  CommandRun absent = client({"command", "mark-known", message});
  EXPECT_EQ(absent.status, 1);
  EXPECT_NE(absent.output.find("Brindlewick is not running"), std::string::npos) << absent.output;

  Installation inst;
  pid_t pid = start(inst, root);
  CommandRun run;
  ASSERT_TRUE(waitFor([&] { return (run = client({"command", "is-known", message})).status == 0; }))
      << run.output;
  EXPECT_EQ(run.output, "0\n");

  // Code 4: the sender becomes known, and the next tick writes the file.
  run = client({"command", "mark-known", message});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "1\n");
  EXPECT_TRUE(waitFor([&] {
    return readFile("Application Data/Brindlewick/KnownUsers.dat") == knownUser("ann@example.org", 2);
  }));
  // Code 5 now says known.
  EXPECT_EQ(client({"command", "is-known", message}).output, "1\n");

  // Codes 2 and 3: saved items, nothing shown (headless).
  EXPECT_EQ(client({"command", "create-appointment", message}).output, "1\n");
  EXPECT_EQ(client({"command", "create-task", message}).output, "1\n");
  std::vector<fs::path> items = filesIn(root / "PIM/Calendar");
  ASSERT_EQ(items.size(), 1u);
  std::vector<fs::path> tasks = filesIn(root / "PIM/Tasks");
  ASSERT_EQ(tasks.size(), 1u);
  items.push_back(tasks[0]);
  ICalendarReading reading = readICalendarFiles(items);
  if (reading.python) {
    ASSERT_EQ(reading.status, 0) << reading.output;
    const std::string texts = "SUMMARY \"Ann Smith: Lunch on Friday\"\n"
                              "DESCRIPTION \"Gr\\u00fc\\u00dfe,\\nsee you\\n\"\n";
    EXPECT_EQ(reading.output.find("VEVENT\n" + texts + "DTSTART 20"), 0u) << reading.output;
    EXPECT_NE(reading.output.find("VTODO\n" + texts + "DTSTART -\nDUE -\n"), std::string::npos)
        << reading.output;
  } else {
    std::printf("python3 is not installed: the saved items are not read back\n");
  }

  // Code 1: headless, the editor cannot be shown, which counts as Cancel.
  EXPECT_EQ(client({"command", "create-filter", message}).output, "1\n");
  // A message that is not there, and a code the program does not carry out.
  EXPECT_EQ(client({"command", "mark-known", "Local/Inbox/2.M2.host"}).output, "0\n");
  EXPECT_EQ(client({"command", "9", message}).output, "0\n");

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
  EXPECT_EQ(readFile("Application Data/Brindlewick/KnownUsers.dat"), knownUser("ann@example.org", 2));
  EXPECT_FALSE(fs::exists(root / "Application Data/Brindlewick/Brindlewick.dat"))
      << "a cancelled filter changes no rule";
}
