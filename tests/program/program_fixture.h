// The program as a process on a temporary data root: a rules file built byte
// by byte, mail delivered the Maildir way, the real binary started, waited
// for and signalled.
#pragma once

#include "platform/registry/registry.h"
#include "tests/support/command_run.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

using Bytes = std::vector<unsigned char>;

// ---- The rules file, by hand ----------------------------------------------

inline void putText(Bytes &b, std::size_t offset, std::u16string_view text)
{
  for (std::size_t i = 0; i < text.size(); ++i) {
    b[offset + 2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
    b[offset + 2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
  }
}

struct RuleBytes {
  std::u16string from, subject, moveTo; // the texts this test needs
};

inline Bytes rulesFile(const std::vector<RuleBytes> &rules)
{
  Bytes b = {'V', 0, 'a', 0, 'r', 0, 'n', 0, '-', 0, '1', 0, 0, 0};
  for (const RuleBytes &r : rules) {
    Bytes rec(2064, 0);
    rec[0] = 1;                // enabled
    putText(rec, 258, r.from); // from
    putText(rec, 770, r.subject);
    putText(rec, 1294, r.moveTo);
    b.insert(b.end(), rec.begin(), rec.end());
  }
  return b;
}

// One known-users entry as the file holds it: int16 length, the bytes, int32 level.
inline Bytes knownUser(const std::string &address, std::int32_t level)
{
  Bytes b;
  b.reserve(address.size() + 6);
  b.push_back(static_cast<unsigned char>(address.size()));
  b.push_back(0);
  for (char c : address)
    b.push_back(static_cast<unsigned char>(c));
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<unsigned char>(static_cast<std::uint32_t>(level) >> (8 * i)));
  return b;
}

// ---- Mail ---------------------------------------------------------------------

inline std::string message(const std::string &from, const std::string &subject, const std::string &id)
{
  return "From: " + from + "\r\nTo: me@example.org\r\nSubject: " + subject +
         "\r\nMessage-ID: <" + id + ">\r\nDate: Tue, 8 Dec 2026 10:00:00 +0000\r\n\r\nHello.\r\n";
}

// Delivers the Maildir way: written into tmp/, then renamed into new/.
inline void deliver(const fs::path &folder, const std::string &name, const std::string &text)
{
  {
    std::ofstream out(folder / "tmp" / name, std::ios::binary);
    out << text;
  }
  fs::rename(folder / "tmp" / name, folder / "new" / name);
}

// The folder (relative to the store) holding the message with this id, or
// "" when none; "many" when it is in more than one place.
inline std::string folderOf(const fs::path &store, const std::string &id)
{
  std::string found;
  for (const auto &e : fs::recursive_directory_iterator(store)) {
    if (!e.is_regular_file())
      continue;
    std::string dir = e.path().parent_path().filename();
    if (dir != "cur" && dir != "new")
      continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (text.find("<" + id + ">") == std::string::npos)
      continue;
    std::string where = fs::relative(e.path().parent_path().parent_path(), store).string();
    found = found.empty() ? where : "many";
  }
  return found;
}

// Waits for done, at most `limit`. A failing wait alone costs the time: the
// bounds are generous for a program started under a sanitizer on a busy machine.
inline bool waitFor(const std::function<bool()> &done, std::chrono::seconds limit = std::chrono::seconds(30))
{
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

// ---- The extension's registration ------------------------------------------------

// How many of the six keys of the extension's registration exist.
inline int extensionKeys()
{
  const std::pair<HKEY, const char16_t *> keys[] = {
      {HKEY_CLASSES_ROOT, u"CLSID\\{D27F8A31-0C6B-4E9A-A1F3-7B48E2C95D17}"},
      {HKEY_CLASSES_ROOT, u"CLSID\\{D27F8A31-0C6B-4E9A-A1F3-7B48E2C95D17}\\InprocServer32"},
      {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View\\"
                           u"{D27F8A31-0C6B-4E9A-A1F3-7B48E2C95D17}"},
      {HKEY_CLASSES_ROOT, u"CLSID\\{6B1D2C4E-93A7-4F05-8E2D-5C7A19B3D460}"},
      {HKEY_CLASSES_ROOT, u"CLSID\\{6B1D2C4E-93A7-4F05-8E2D-5C7A19B3D460}\\InprocServer32"},
      {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View_Context\\"
                           u"{6B1D2C4E-93A7-4F05-8E2D-5C7A19B3D460}"},
  };
  int present = 0;
  for (const auto &[root, path] : keys) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      ++present;
      RegCloseKey(key);
    }
  }
  return present;
}

// ---- The program as a process ---------------------------------------------------

// The program copied into a folder of its own with the extension module
// beside it, as an installation has them: the real one, or a stand-in whose
// registration exports fail and record that they were called.
struct Installation {
  TempDir dir;
  fs::path program = dir.path / "Brindlewick";
  fs::path record = dir.path / "extension-calls.txt";
  explicit Installation(bool failingExtension = false)
  {
    fs::copy_file(BRINDLEWICK_PATH, program);
    fs::copy_file(failingExtension ? FAKE_EXTENSION_PATH : TOLLBECK_PATH, dir.path / "Tollbeck.so");
  }
  std::string calls() const
  {
    std::ifstream in(record);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

// The test process, for its children to know it by.
inline const pid_t TEST_PROCESS = getpid();

// In a started program: it ends with the test process, so a test that stops
// at a failed assertion leaves no program behind to hold the test runner's pipe.
// A test process that ended before this was asked cannot send the signal:
// then the child ends here.
inline void endWithTest()
{
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != TEST_PROCESS)
    _exit(127);
}

// Starts the program headless on root; with `errors`, its standard error is
// appended to that file.
inline pid_t start(const Installation &inst, const fs::path &root, const fs::path &errors = {})
{
  pid_t pid = fork();
  if (pid == 0) {
    endWithTest();
    setenv("QUILLMARSH_ROOT", root.c_str(), 1);
    setenv("QUILLMARSH_DISPLAY", "headless", 1);
    setenv("QM_EXTENSION_RECORD", inst.record.c_str(), 1);
    if (!errors.empty()) {
      int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      if (fd < 0 || dup2(fd, 2) < 0)
        _exit(127);
    }
    execl(inst.program.c_str(), inst.program.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  return pid;
}

// Waits for the process to end, at most `limit`; its exit code, or -1.
inline int finish(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(30))
{
  int status = 0;
  bool ended = waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every file below the root with its bytes and modification time.
inline std::map<std::string, std::pair<std::string, fs::file_time_type>> snapshot(const fs::path &root)
{
  std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
  for (const auto &e : fs::recursive_directory_iterator(root)) {
    std::string text;
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    files[e.path().string()] = {text, fs::last_write_time(e.path())};
  }
  return files;
}

class Program : public TempRootTest {
protected:
  fs::path store() const { return root / "Mail/Local"; }
  void makeStore() const
  {
    for (const char *folder : {"", "Inbox", "Outbox", "Sent Items", "Deleted Items", "Drafts"})
      for (const char *sub : {"cur", "new", "tmp"})
        fs::create_directories(store() / folder / sub);
  }
};

// A program whose channel folder (XDG_RUNTIME_DIR) is the test's own, for
// tests whose tools reach the running program over its window.
class ChannelProgram : public Program {
protected:
  void SetUp() override
  {
    Program::SetUp();
    setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
  }
  void TearDown() override
  {
    unsetenv("XDG_RUNTIME_DIR");
    Program::TearDown();
  }
  TempDir runtime; // stands for XDG_RUNTIME_DIR
};
