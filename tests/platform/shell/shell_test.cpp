#include "platform/shell/msgbox.h"
#include "platform/shell/shell.h"
#include "platform/text/wstr.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A folder of stand-in programs first in PATH: each writes its arguments, one
// a line, to the file named by QM_TEST_OUT, whole (renamed into place).
class ShellReal : public ::testing::Test {
protected:
  void SetUp() override
  {
    oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    out = dir.path / "out.txt";
    setenv("QM_TEST_OUT", out.c_str(), 1);
    fs::create_directory(dir.path / "bin");
    setenv("PATH", (dir.path / "bin").c_str(), 1); // nothing else: no real player or opener
  }
  void TearDown() override
  {
    setenv("PATH", oldPath.c_str(), 1);
    unsetenv("QM_TEST_OUT");
  }

  void script(const fs::path &path, const std::string &body = "")
  {
    std::ofstream f(path);
    f << "#!/bin/sh\nPATH=/usr/bin:/bin\n" << body << "printf '%s\\n' \"$@\" > \"$QM_TEST_OUT.tmp\"\n"
      << "mv \"$QM_TEST_OUT.tmp\" \"$QM_TEST_OUT\"\n";
    f.close();
    chmod(path.c_str(), 0755);
  }
  void fakeProgram(const std::string &name) { script(dir.path / "bin" / name); }

  // Waits (bounded) for the stand-in's report; its lines, or none after 30 s
  // (a started shell may wait that long for a core on a busy machine).
  std::vector<std::string> report()
  {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(out) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::ifstream f(out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);)
      lines.push_back(line);
    return lines;
  }

  BOOL execute(const std::string &file, const std::string &directory = "", const char16_t *verb = nullptr,
               UINT_PTR *code = nullptr)
  {
    std::u16string f = utf8ToUtf16(file), d = utf8ToUtf16(directory);
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.lpFile = f.c_str();
    info.lpDirectory = directory.empty() ? nullptr : d.c_str();
    info.lpVerb = verb;
    BOOL ok = ShellExecuteEx(&info);
    if (code)
      *code = reinterpret_cast<UINT_PTR>(info.hInstApp);
    return ok;
  }

  TempDir dir;         // stand-ins, files and the report
  fs::path out;        // where a stand-in reports
  std::string oldPath; // PATH before the test
};

TEST_F(ShellReal, ExecutableFilesRunDirectly)
{
  fs::create_directory(dir.path / "work");
  script(dir.path / "tool.sh", "echo \"$(pwd)\" > \"$QM_TEST_OUT.pwd\"\n");
  ASSERT_TRUE(execute((dir.path / "tool.sh").string(), (dir.path / "work").string()));
  EXPECT_EQ(std::vector<std::string>{""}, report()); // started without arguments (printf prints one empty line)
  std::ifstream pwd(out.string() + ".pwd");
  std::string where;
  std::getline(pwd, where);
  EXPECT_EQ(fs::canonical(dir.path / "work").string(), where);
}

TEST_F(ShellReal, OtherFilesGoToXdgOpenAsOneArgument)
{
  fakeProgram("xdg-open");
  // A name a shell would act on: here it is only a name.
  fs::path odd = dir.path / "a b;$(touch pwned) `id`.txt";
  std::ofstream(odd) << "x";
  ASSERT_TRUE(execute(odd.string()));
  EXPECT_EQ(std::vector<std::string>{odd.string()}, report());
  EXPECT_FALSE(fs::exists("pwned"));
  EXPECT_FALSE(fs::exists(dir.path / "pwned"));
}

TEST_F(ShellReal, ADashNameIsNotAnOption)
{
  fakeProgram("xdg-open");
  std::ofstream(dir.path / "-v") << "x";
  fs::path before = fs::current_path();
  fs::current_path(dir.path);
  BOOL ok = execute("-v");
  fs::current_path(before);
  ASSERT_TRUE(ok);
  EXPECT_EQ(std::vector<std::string>{"./-v"}, report());
}

TEST_F(ShellReal, RefusedStarts)
{
  std::ofstream(dir.path / "note.txt") << "x";
  struct Case {
    std::string file;     // lpFile
    const char16_t *verb; // lpVerb
    UINT_PTR code;        // expected hInstApp
  };
  const Case cases[] = {
      {(dir.path / "missing").string(), nullptr, SE_ERR_FNF},
      {"", nullptr, SE_ERR_FNF},
      {(dir.path / "note.txt").string(), u"print", SE_ERR_NOASSOC},
      {(dir.path / "note.txt").string(), nullptr, SE_ERR_NOASSOC}, // no xdg-open in PATH
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.file);
    UINT_PTR code = 0;
    EXPECT_FALSE(execute(c.file, "", c.verb, &code));
    EXPECT_EQ(c.code, code);
  }
  std::u16string file = utf8ToUtf16((dir.path / "note.txt").string());
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.lpFile = file.c_str();
  info.lpParameters = u"--all";
  EXPECT_FALSE(ShellExecuteEx(&info));
  info.lpParameters = nullptr;
  info.cbSize = 60; // the handheld's size is too small for this record
  EXPECT_FALSE(ShellExecuteEx(&info));
}

TEST_F(ShellReal, SoundsGoToThePlayer)
{
  std::ofstream(dir.path / "ding.wav") << "RIFF";
  std::u16string sound = utf8ToUtf16((dir.path / "ding.wav").string());
  EXPECT_FALSE(PlaySoundW(sound.c_str(), nullptr, SND_FILENAME | SND_ASYNC)); // no player yet
  fakeProgram("aplay");
  // Synchronous: the player has finished when the call returns.
  ASSERT_TRUE(PlaySoundW(sound.c_str(), nullptr, SND_FILENAME | SND_SYNC));
  EXPECT_TRUE(fs::exists(out));
  fs::remove(out);
  fakeProgram("paplay"); // preferred over aplay
  ASSERT_TRUE(PlaySoundW(sound.c_str(), nullptr, SND_FILENAME | SND_ASYNC));
  EXPECT_EQ(std::vector<std::string>{(dir.path / "ding.wav").string()}, report());
  std::u16string missing = utf8ToUtf16((dir.path / "none.wav").string());
  EXPECT_FALSE(PlaySoundW(missing.c_str(), nullptr, SND_FILENAME | SND_ASYNC));
  EXPECT_TRUE(PlaySoundW(nullptr, nullptr, 0));
}

TEST(ShellRecord, CallsAreRecordedNotCarriedOut)
{
  shellRecordForTest();
  EXPECT_TRUE(PlaySoundW(u"/sounds/ding.wav", nullptr, 0x00020001));
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.lpFile = u"/usr/bin/some program";
  EXPECT_TRUE(ShellExecuteEx(&info));
  EXPECT_LT(32u, reinterpret_cast<UINT_PTR>(info.hInstApp));
  std::vector<ShellCall> calls = shellTakeRecorded();
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ(ShellCall::Sound, calls[0].kind);
  EXPECT_EQ("/sounds/ding.wav", calls[0].path);
  EXPECT_EQ(0x00020001u, calls[0].flags);
  EXPECT_EQ(ShellCall::Execute, calls[1].kind);
  EXPECT_EQ("/usr/bin/some program", calls[1].path);
  EXPECT_EQ(sizeof(SHELLEXECUTEINFO), calls[1].cbSize);
  EXPECT_EQ("", calls[1].verb);
  EXPECT_EQ(0, calls[1].nShow);
  EXPECT_TRUE(shellTakeRecorded().empty());
  shellUseReal();
}

int hookAnswer(HWND, LPCWSTR text, LPCWSTR, UINT)
{
  return std::u16string(text) == u"ask" ? IDCANCEL : IDOK;
}

TEST(MessageBox, StandardErrorHookAndRecord)
{
  testing::internal::CaptureStderr();
  EXPECT_EQ(IDOK, MessageBoxW(nullptr, u"Cannot copy the message.", nullptr, MB_OK));
  EXPECT_EQ(IDYES, MessageBoxW(nullptr, u"Sure?", u"Rules", MB_YESNO));
  EXPECT_EQ("Cannot copy the message.\nRules: Sure?\n", testing::internal::GetCapturedStderr());

  setMessageBoxHook(hookAnswer);
  EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, u"ask", nullptr, MB_OKCANCEL));
  messageBoxRecordForTest(IDOK);
  EXPECT_EQ(IDOK, MessageBoxW(reinterpret_cast<HWND>(8), u"ask", nullptr, MB_OKCANCEL));
  std::vector<MessageBoxCall> boxes = messageBoxTakeRecorded();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(reinterpret_cast<HWND>(8), boxes[0].owner);
  EXPECT_EQ(u"ask", boxes[0].text);
  EXPECT_FALSE(boxes[0].hasCaption);
  EXPECT_EQ(MB_OKCANCEL, boxes[0].type);
  messageBoxUseReal();
  setMessageBoxHook(nullptr);
  EXPECT_TRUE(SHInitExtraControls());
}

} // namespace
