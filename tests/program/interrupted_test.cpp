// The program ended in the middle of its work: a termination signal during a
// long first pass is honoured at the next message, and the next start
// evaluates what was left.
#include "tests/program/program_fixture.h"

#include <gtest/gtest.h>

namespace {

std::size_t messagesIn(const fs::path &folder)
{
  std::size_t n = 0;
  for (const char *sub : {"new", "cur"}) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder / sub, ec); !ec && it != fs::directory_iterator(); ++it)
      ++n;
  }
  return n;
}

} // namespace

TEST_F(Program, TerminationDuringTheFirstPassEndsItAndTheNextStartSortsTheRest)
{
  constexpr std::size_t COUNT = 4000;
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rulesFile({{u"", u"bulk", u"Bills"}}));
  for (std::size_t i = 0; i < COUNT; ++i) {
    std::string n = std::to_string(1000000 + i);
    deliver(store() / "Inbox", n + ".M1.host", message("ann@example.org", "bulk " + n, n + "@x"));
  }
  Installation inst;
  pid_t pid = start(inst, root);
  ASSERT_TRUE(waitFor([&] { return messagesIn(store() / "Inbox/Bills") > 0; }));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
  // The pass stopped at the signal, well before its end.
  std::size_t moved = messagesIn(store() / "Inbox/Bills");
  EXPECT_LT(moved, COUNT / 2);
  EXPECT_EQ(moved + messagesIn(store() / "Inbox"), COUNT);

  pid = start(inst, root);
  EXPECT_TRUE(waitFor([&] { return messagesIn(store() / "Inbox/Bills") == COUNT; }, std::chrono::seconds(60)));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
  EXPECT_EQ(messagesIn(store() / "Inbox"), 0u);
}
