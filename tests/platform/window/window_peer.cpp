// The other process of the window channel tests. It reports on standard
// output, one line at a time, what it got and what it did.
//
//   window_peer [--expect-uid N] serve CLASS TITLE   a window that reports its messages
//   window_peer hang CLASS TITLE                     a window whose thread never takes messages
//   window_peer term CLASS TITLE                     serve, ended by SIGTERM or SIGINT
//   window_peer send CLASS TITLE DWDATA HEX          WM_COPYDATA to a window, prints the result
//   window_peer display TITLE                        names the display, shows a tray icon
//   window_peer lend CLASS TITLE                     WM_USER+20 to a window, lending the
//                                                    terminal on standard output
//
// serve and term print "ready" when their window exists. Their window answers
// WM_COPYDATA with dwData plus the sum of the bytes (dwData 99: asks the
// window "QM Test Window"/"Test Host" WM_USER+7 and answers its result plus
// one), WM_USER and above with wParam + lParam; WM_USER+9 ends the loop with
// exit code wParam. WM_USER+20 shows a screen "Lent Screen" with a menu
// ("Alpha" 11, "Beta" 12) and answers the command chosen (0: none);
// WM_USER+21 answers how many descriptors the process has open.
#include "platform/window/channel.h"
#include "platform/window/display.h"
#include "platform/window/lend.h"
#include "platform/window/menu.h"
#include "platform/window/signals.h"
#include "platform/window/tray.h"
#include "platform/window/window.h"
#include "platform/text/wstr.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void say(const std::string &line)
{
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string hex(const BYTE *bytes, DWORD size)
{
  std::string out;
  char b[3];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(b, sizeof b, "%02x", bytes[i]);
    out += b;
  }
  return out;
}

std::vector<BYTE> unhex(const char *text)
{
  std::vector<BYTE> out;
  for (std::size_t i = 0; text[i] && text[i + 1]; i += 2)
    out.push_back(static_cast<BYTE>(std::strtoul(std::string(text + i, 2).c_str(), nullptr, 16)));
  return out;
}

LRESULT showMenuScreen()
{
  HWND screen = CreateWindowExW(0, u"QM Screen", u"Lent Screen", WS_VISIBLE, 0, 0, 240, 312, nullptr,
                                nullptr, nullptr, nullptr);
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 11, u"Alpha");
  AppendMenuW(menu, MF_STRING, 12, u"Beta");
  LRESULT chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD, 30, 30, screen, nullptr);
  DestroyMenu(menu);
  DestroyWindow(screen);
  return chosen;
}

LRESULT openDescriptors()
{
  LRESULT count = 0;
  for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count - 1; // the directory's own
}

LRESULT peerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_USER + 20)
    return showMenuScreen();
  if (message == WM_USER + 21)
    return openDescriptors();
  if (message == WM_COPYDATA) {
    const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
    const auto *bytes = static_cast<const BYTE *>(cds->lpData);
    // Long data shows its first bytes only: a full line could fill the pipe
    // to the test, which reads it only after its send has returned.
    say("copydata " + std::to_string(cds->dwData) + " " + std::to_string(cds->cbData) + " " +
        hex(bytes, cds->cbData > 16 ? 16 : cds->cbData));
    if (cds->dwData == 99) {
      HWND host = FindWindowW(u"QM Test Window", u"Test Host");
      return SendMessageW(host, WM_USER + 7, 0, 0) + 1;
    }
    LRESULT sum = static_cast<LRESULT>(cds->dwData);
    for (DWORD i = 0; i < cds->cbData; ++i)
      sum += bytes[i];
    return sum;
  }
  if (message >= WM_USER) {
    char line[128];
    std::snprintf(line, sizeof line, "message 0x%x %lu %ld %s", message,
                  static_cast<unsigned long>(wParam), static_cast<long>(lParam),
                  InSendMessage() ? "sent" : "posted");
    say(line);
    if (message == WM_USER + 9)
      PostQuitMessage(static_cast<int>(wParam));
    return static_cast<LRESULT>(wParam) + lParam;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND makeWindow(const std::u16string &cls, const std::u16string &title)
{
  WNDCLASSW wc{};
  wc.lpfnWndProc = peerProc;
  wc.lpszClassName = cls.c_str();
  RegisterClassW(&wc);
  WNDCLASSW screen{};
  screen.lpfnWndProc = DefWindowProcW;
  screen.lpszClassName = u"QM Screen";
  RegisterClassW(&screen);
  return CreateWindowExW(0, cls.c_str(), title.c_str(), 0, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
}

int runLoop(HWND window)
{
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  say("quit " + std::to_string(msg.wParam));
  DestroyWindow(window);
  return static_cast<int>(msg.wParam);
}

} // namespace

int main(int argc, char **argv)
{
  // It ends with the test process that started it, however that ends (a
  // runner's timeout, Ctrl-C): a window left serving would outlive the run.
  // A test that ended before this was asked cannot send the signal.
  const char *parent = std::getenv("QM_PEER_PARENT");
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || (parent && getppid() != std::atoi(parent)))
    return 5;
  int a = 1;
  if (argc > a + 1 && std::strcmp(argv[a], "--expect-uid") == 0) {
    channelExpectUidForTest(static_cast<uid_t>(std::strtoul(argv[a + 1], nullptr, 10)));
    a += 2;
  }
  if (argc - a < 2)
    return 2;
  std::string mode = argv[a];
  if (mode == "display") {
    say(std::string("display ") + currentDisplay().name);
    HWND w = makeWindow(u"QM Display Peer", u"");
    NOTIFYICONDATAW nid{};
    nid.cbSize = NOTIFYICONDATA_HANDHELD_SIZE;
    nid.hWnd = w;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_USER + 1;
    nid.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(101));
    wstrCopy(nid.szTip, 64, utf8ToUtf16(argv[a + 1]).c_str());
    Shell_NotifyIconW(NIM_ADD, &nid);
    Shell_NotifyIconW(NIM_DELETE, &nid);
    return 0;
  }
  if (argc - a < 3)
    return 2;
  std::u16string cls = utf8ToUtf16(argv[a + 1]);
  std::u16string title = utf8ToUtf16(argv[a + 2]);

  if (mode == "send") {
    if (argc - a < 5)
      return 2;
    HWND target = FindWindowW(cls.c_str(), title.c_str());
    if (!target) {
      say("nowindow");
      return 1;
    }
    std::vector<BYTE> bytes = unhex(argv[a + 4]);
    COPYDATASTRUCT cds{std::strtoul(argv[a + 3], nullptr, 10), static_cast<DWORD>(bytes.size()),
                       bytes.data()};
    say("result " + std::to_string(
                        SendMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds))));
    return 0;
  }
  if (mode == "lend") {
    HWND target = FindWindowW(cls.c_str(), title.c_str());
    LRESULT result = -1;
    LendOutcome outcome = sendMessageLendingTerminal(target, WM_USER + 20, 0, 0, 0, &result);
    say("lend " + std::to_string(static_cast<int>(outcome)) + " " + std::to_string(result));
    return 0;
  }
  if (mode == "term" && !postQuitOnTermination())
    return 3;
  HWND window = makeWindow(cls, title);
  if (!window)
    return 4;
  if (mode == "term")
    PostMessageW(window, WM_USER + 5, 0, 0);
  say("ready");
  if (mode == "hang") {
    // Never takes a message: waits for its standard input to close.
    char c;
    while (read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
  }
  return runLoop(window);
}
