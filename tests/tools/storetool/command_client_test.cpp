// `qm-store command`: one command for one message to the program's main
// window, found by its class and title, and the reply printed.
#include "tools/storetool/storetool.h"

#include "platform/maildir/entry_id.h"
#include "platform/window/window.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

ULONG_PTR gotCode = 0;          // the code the stand-in main window got
std::vector<BYTE> gotBytes;     // and the entry id

LRESULT standInMainWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message != WM_COPYDATA)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  auto *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
  gotCode = data->dwData;
  auto *bytes = static_cast<const BYTE *>(data->lpData);
  gotBytes.assign(bytes, bytes + data->cbData);
  return data->dwData == 5 ? 0 : 1;
}

class CommandClient : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    runtime = std::make_unique<TempDir>();
    setenv("XDG_RUNTIME_DIR", runtime->path.c_str(), 1);
    gotCode = 0;
    gotBytes.clear();
  }
  void TearDown() override
  {
    unsetenv("XDG_RUNTIME_DIR");
    runtime.reset();
    TempRootTest::TearDown();
  }
  int run(std::vector<std::string> args)
  {
    std::istringstream in;
    std::ostringstream o, e;
    int status = runStoreTool(args, in, o, e);
    out = o.str();
    err = e.str();
    return status;
  }
  std::string out, err;              // what the last run printed
  std::unique_ptr<TempDir> runtime;  // stands for XDG_RUNTIME_DIR
};

} // namespace

TEST_F(CommandClient, WithoutTheProgramItSaysSoAndFails)
{
  EXPECT_EQ(run({"command", "mark-known", "Local/Inbox/1.M1.host"}), 1);
  EXPECT_EQ(out, "");
  EXPECT_NE(err.find("Brindlewick is not running on the data root " + root.string()), std::string::npos)
      << err;
}

TEST_F(CommandClient, BadUsage)
{
  EXPECT_EQ(run({"command", "mark-known"}), 2);
  EXPECT_EQ(run({"command", "mark-everything", "Local/Inbox/x"}), 2);
  EXPECT_NE(err.find("create-filter"), std::string::npos);
  EXPECT_EQ(run({"command", "is-known", "nofolder"}), 2);
  EXPECT_EQ(run({"command", "is-known", "Local/../x/y"}), 2);
  EXPECT_EQ(run({"command", "--timeout", "soon", "is-known", "Local/Inbox/x"}), 2);
}

TEST_F(CommandClient, SendsTheCodeAndTheEntryIdAndPrintsTheReply)
{
  WNDCLASSW wc{};
  wc.lpfnWndProc = standInMainWindow;
  wc.lpszClassName = u"Quillmarsh Class";
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND window = CreateWindowExW(0, u"Quillmarsh Class", u"Quillmarsh", 0, 0, 0, 0, 0, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);

  const std::pair<const char *, ULONG_PTR> names[] = {
      {"create-filter", 1}, {"create-appointment", 2}, {"create-task", 3},
      {"mark-known", 4},    {"is-known", 5},           {"17", 17},
  };
  for (auto [name, code] : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(run({"command", "--timeout", "5", name, "Local/Inbox/1.M1.host"}), 0);
    EXPECT_EQ(gotCode, code);
    EXPECT_EQ(gotBytes, encodeMaildirId(messageId("Local", {"Inbox"}, "1.M1.host")));
    EXPECT_EQ(out, code == 5 ? "0\n" : "1\n");
  }

  DestroyWindow(window);
  UnregisterClassW(u"Quillmarsh Class", nullptr);
}
