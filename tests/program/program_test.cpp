// The program end to end: the real binary, started on a temporary data root
// with a rules file built byte by byte, sorts mail delivered into the Maildir
// Inbox, imports contacts, and shuts down in order on SIGTERM.
#include "platform/text/wstr.h"
#include "platform/window/window.h"
#include "tests/program/program_fixture.h"

#include <gtest/gtest.h>

TEST_F(Program, SortsMailImportsContactsAndShutsDownInOrder)
{
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat",
            rulesFile({{u"", u"invoice", u"Bills"}, {u"spam@bad.example", u"", u">> DELETE <<"}}));
  std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nEMAIL:bob@one.example\r\n"
                     "EMAIL;TYPE=work:bob@two.example\r\nEMAIL:bob@three.example\r\nEND:VCARD\r\n";
  writeFile("PIM/Contacts/bob.vcf", Bytes(card.begin(), card.end()));
  deliver(store() / "Inbox", "1.M1.host", message("Ann <ann@example.org>", "Invoice 12", "m1@x"));
  deliver(store() / "Inbox", "2.M2.host", message("spam@bad.example", "Win", "m2@x"));
  deliver(store() / "Inbox", "3.M3.host", message("carl@example.org", "Hello", "m3@x"));

  Installation inst;
  pid_t pid = start(inst, root);

  // The extension is registered while the program runs.
  EXPECT_TRUE(waitFor([] { return extensionKeys() == 6; }));

  // The first pass runs at once: the Inbox is sorted by the rules.
  EXPECT_TRUE(waitFor([&] { return folderOf(store(), "m1@x") == "Inbox/Bills"; }))
      << folderOf(store(), "m1@x");
  EXPECT_TRUE(waitFor([&] { return folderOf(store(), "m2@x") == "Deleted Items"; }))
      << folderOf(store(), "m2@x");
  EXPECT_EQ(folderOf(store(), "m3@x"), "Inbox");

  // The first tick writes the known users: the contact's three addresses,
  // known, and the sender of the moved message, seen once.
  Bytes expected;
  for (auto &[address, level] : std::vector<std::pair<std::string, int>>{
           {"bob@one.example", 2}, {"bob@two.example", 2}, {"bob@three.example", 2},
           {"ann@example.org", 1}}) {
    Bytes entry = knownUser(address, level);
    expected.insert(expected.end(), entry.begin(), entry.end());
  }
  EXPECT_TRUE(waitFor([&] { return readFile("Application Data/Brindlewick/KnownUsers.dat") == expected; }));

  // Mail delivered while it runs is sorted as it arrives.
  deliver(store() / "Inbox", "4.M4.host", message("Ann <ann@example.org>", "invoice 13", "m4@x"));
  EXPECT_TRUE(waitFor([&] { return folderOf(store(), "m4@x") == "Inbox/Bills"; }))
      << folderOf(store(), "m4@x");

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);

  // Shutdown saved the second move's count: Ann is known now.
  expected.resize(expected.size() - knownUser("ann@example.org", 1).size());
  Bytes ann = knownUser("ann@example.org", 2);
  expected.insert(expected.end(), ann.begin(), ann.end());
  EXPECT_EQ(readFile("Application Data/Brindlewick/KnownUsers.dat"), expected);
  EXPECT_EQ(extensionKeys(), 0); // unregistered at exit
  // The rules did not change, so their file is as it was.
  EXPECT_EQ(readFile("Application Data/Brindlewick/Brindlewick.dat"),
            rulesFile({{u"", u"invoice", u"Bills"}, {u"spam@bad.example", u"", u">> DELETE <<"}}));
}

TEST_F(Program, WithoutRulesFileRunsTheDefaultsAndWritesNoRules)
{
  makeStore();
  std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dora\r\nEMAIL:dora@example.org\r\nEND:VCARD\r\n";
  writeFile("PIM/Contacts/dora.vcf", Bytes(card.begin(), card.end()));
  // Header-only mail, the transport's way: the full text waits in the
  // transport area, the header section is delivered under the same name.
  auto deliverHeaderOnly = [&](const std::string &name, const std::string &text) {
    writeFile("Transport/Local/" + name, Bytes(text.begin(), text.end()));
    deliver(store() / "Inbox", name, text.substr(0, text.find("\r\n\r\n") + 4));
  };
  deliverHeaderOnly("1.M1.host", message("Dora <dora@example.org>", "Hi", "d1@x"));
  deliverHeaderOnly("2.M2.host", message("stranger@example.net", "Offer", "d2@x"));
  // Downloads wait, so that the marks can be read.
  setenv("QUILLMARSH_TRANSPORT", "hold", 1);
  Installation inst;
  pid_t pid = start(inst, root);
  unsetenv("QUILLMARSH_TRANSPORT");
  // The default rule for known senders marks the contact's message for
  // download; the stranger's, unread, is left as it is.
  CommandRun pending;
  EXPECT_TRUE(waitFor([&] {
    pending = runCommand(QM_STORE_PATH, {"pending"});
    return pending.output.find("1.M1.host  marked") != std::string::npos;
  })) << pending.output;
  EXPECT_EQ(pending.output, "Local/Inbox/1.M1.host  marked\nLocal/Inbox/2.M2.host\n");
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
  EXPECT_EQ(folderOf(store(), "d1@x"), "Inbox") << "the defaults only download";
  EXPECT_FALSE(fs::exists(root / "Application Data/Brindlewick/Brindlewick.dat"));
}

namespace {

UINT received = 0;        // the message the stand-in main window got
WPARAM receivedWParam = 1; // its wParam

LRESULT standInProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == 0x0401) {
    received = message;
    receivedWParam = wParam;
    return 1;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

TEST_F(Program, SecondInstanceAsksTheRunningOneAndTouchesNothing)
{
  // This process stands in for the running program: it owns the main window.
  WNDCLASSW wc{};
  wc.lpfnWndProc = standInProc;
  wc.lpszClassName = u"Quillmarsh Class";
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND window = CreateWindowExW(0, u"Quillmarsh Class", u"Quillmarsh", 0, 0, 0, 0, 0, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);

  makeStore();
  auto before = snapshot(root);
  Installation inst;
  EXPECT_EQ(finish(start(inst, root)), 1);

  MSG msg;
  EXPECT_TRUE(waitFor([&] {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
    return received == 0x0401;
  }));
  EXPECT_EQ(receivedWParam, 0u);
  EXPECT_EQ(snapshot(root), before);

  DestroyWindow(window);
  UnregisterClassW(u"Quillmarsh Class", nullptr);
}

TEST_F(Program, RunsOnWhenTheExtensionsRegistrationFails)
{
  makeStore();
  Installation inst(true);
  pid_t pid = start(inst, root);
  deliver(store() / "Inbox", "1.M1.host", message("erin@example.org", "Hi", "e1@x"));
  ASSERT_TRUE(waitFor([&] { return inst.calls() == "DllRegisterServer\n"; }));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);
  EXPECT_EQ(inst.calls(), "DllRegisterServer\nDllUnregisterServer\n");
  EXPECT_EQ(extensionKeys(), 0);
}

TEST_F(Program, HelpTellsWhatItReadsAndAnUnknownArgumentEndsWith2)
{
  CommandRun help = runCommand(BRINDLEWICK_PATH, {"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char *said : {"Usage: Brindlewick [--help]", "QUILLMARSH_ROOT", "QUILLMARSH_DISPLAY", "QUILLMARSH_LOG",
                           "QUILLMARSH_TRANSPORT", "XDG_RUNTIME_DIR", "LANG", "Exit status: 0"})
    EXPECT_NE(help.output.find(said), std::string::npos) << said << " in\n" << help.output;

  auto before = snapshot(root);
  const std::pair<std::vector<std::string>, std::string> wrongCalls[] = {
      {{"--root", "/tmp"}, "--root"}, {{"--help", "extra"}, "extra"}, {{"-h", "-h"}, "-h"}};
  for (const auto &[args, named] : wrongCalls) {
    CommandRun wrong = runCommand(BRINDLEWICK_PATH, args);
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.output.rfind("Brindlewick: unknown argument '" + named + "'\n", 0), 0u) << wrong.output;
  }
  EXPECT_EQ(snapshot(root), before) << "a bad argument starts nothing";
}
