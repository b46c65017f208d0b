// The tray icon record, what the displays are told, activation, and which
// display a process gets.
#include "tests/platform/window/peer.h"

#include "platform/window/display.h"
#include "platform/window/tray.h"

#include <pty.h>

namespace {

class Tray : public MessageTest {
protected:
  void SetUp() override
  {
    MessageTest::SetUp();
    setDisplay(testDisplay());
    testDisplayTakeNotices();
  }
  void TearDown() override
  {
    MessageTest::TearDown();
    setDisplay(headlessDisplay());
  }
  // The program's record: handheld size, flags 7, WM_USER+1, icon 101, "Quillmarsh".
  static NOTIFYICONDATAW record(HWND hwnd)
  {
    NOTIFYICONDATAW nid{};
    nid.cbSize = NOTIFYICONDATA_HANDHELD_SIZE;
    nid.hWnd = hwnd;
    nid.uID = 0;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_USER + 1;
    nid.hIcon = LoadIconW(reinterpret_cast<HINSTANCE>(0x400000), MAKEINTRESOURCEW(101));
    std::copy_n(u"Quillmarsh", 11, nid.szTip);
    return nid;
  }
};

TEST_F(Tray, AddChangeRemove)
{
  HWND w = window();
  NOTIFYICONDATAW nid = record(w);
  ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &nid));
  std::vector<TrayIcon> icons = trayIcons();
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].hwnd, w);
  EXPECT_EQ(icons[0].flags, 7u);
  EXPECT_EQ(icons[0].callbackMessage, WM_USER + 1);
  EXPECT_EQ(icons[0].tip, u"Quillmarsh");
  HINSTANCE module;
  WORD id;
  ASSERT_TRUE(iconResource(icons[0].icon, &module, &id));
  EXPECT_EQ(module, reinterpret_cast<HINSTANCE>(0x400000));
  EXPECT_EQ(id, 101);
  EXPECT_EQ(LoadIconW(module, MAKEINTRESOURCEW(101)), icons[0].icon) << "one handle per icon";

  // A tip that fills the buffer without a terminator is cut, not overrun.
  NOTIFYICONDATAW tip = nid;
  tip.uFlags = NIF_TIP;
  tip.cbSize = sizeof(NOTIFYICONDATAW);
  std::fill_n(tip.szTip, 64, u'x');
  ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &tip));
  EXPECT_EQ(trayIcons()[0].tip, std::u16string(63, u'x'));
  EXPECT_EQ(trayIcons()[0].callbackMessage, WM_USER + 1) << "fields not given stay";

  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &nid));
  EXPECT_TRUE(trayIcons().empty());
  std::vector<TestDisplayNotice> notices = testDisplayTakeNotices();
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[0].message, NIM_ADD);
  EXPECT_EQ(notices[1].message, NIM_MODIFY);
  EXPECT_EQ(notices[1].icon.tip.size(), 63u);
  EXPECT_EQ(notices[2].message, NIM_DELETE);
}

TEST_F(Tray, OperationsThatDoNotFit)
{
  HWND w = window();
  HWND gone = makeWindow();
  DestroyWindow(gone);
  NOTIFYICONDATAW nid = record(w);
  const struct {
    const char *what;
    DWORD op;
    DWORD cbSize;
    HWND hwnd;
  } cases[] = {
      {"modify before add", NIM_MODIFY, 152, w}, {"delete before add", NIM_DELETE, 152, w},
      {"no such window", NIM_ADD, 152, gone},     {"size 0", NIM_ADD, 0, w},
      {"size 151", NIM_ADD, 151, w},              {"unknown operation", 5, 152, w},
  };
  for (const auto &c : cases) {
    NOTIFYICONDATAW r = nid;
    r.cbSize = c.cbSize;
    r.hWnd = c.hwnd;
    EXPECT_FALSE(Shell_NotifyIconW(c.op, &r)) << c.what;
  }
  EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, nullptr));
  ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &nid));
  EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &nid)) << "added twice";
  EXPECT_EQ(trayIcons().size(), 1u);
}

TEST_F(Tray, ActivationNotifiesTheWindowOnce)
{
  HWND w = window();
  NOTIFYICONDATAW nid = record(w);
  ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &nid));
  MessageLog::get().take();
  EXPECT_TRUE(trayActivate(w, 0));
  okSequence({{WM_USER + 1, sent | wparam | lparam, 0, WM_LBUTTONUP}}, "tray activation");
  EXPECT_FALSE(trayActivate(w, 1));

  // The window's end takes its icon away.
  testDisplayTakeNotices();
  DestroyWindow(w);
  EXPECT_TRUE(trayIcons().empty());
  std::vector<TestDisplayNotice> notices = testDisplayTakeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].message, NIM_DELETE);
}

// Which display the program gets depends on its standard output and on
// QUILLMARSH_DISPLAY; the terminal shows the tray icon as a status line.
TEST_F(Tray, DisplayChoice)
{
  {
    Peer piped({"display", "Quillmarsh"});
    EXPECT_EQ(piped.readLine(), "display headless");
    EXPECT_EQ(piped.wait(), 0);
    EXPECT_EQ(piped.rest(), "") << "headless shows no tray";
  }
  for (bool forced : {false, true}) {
    int master, slave;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::vector<std::string> env;
    env.push_back("TERM=xterm");
    if (forced)
      env.push_back("QUILLMARSH_DISPLAY=headless");
    Peer onTerminal({"display", "Quill\x1bmarsh"}, env, slave, master);
    close(slave);
    EXPECT_EQ(onTerminal.readUntil("\r\n"), forced ? "display headless" : "display terminal");
    EXPECT_EQ(onTerminal.wait(), 0);
    EXPECT_EQ(onTerminal.rest(), forced ? "" : "\r\x1b[K[Quill?marsh] Enter: rules list\r\x1b[K")
        << "a control character in the tip is not sent to the terminal";
  }
}

} // namespace
