// Window behaviour on one thread: creation and destruction order, posted
// against sent messages, the quit request, nested loops, filters, classes
// and window values.
#include "tests/platform/window/message_log.h"

#include "platform/window/dialog.h"
#include "platform/window/display.h"

namespace {

using Messages = MessageTest;

TEST_F(Messages, CreationAndDestructionOrder)
{
  HWND parent = window();
  HWND a = window(nullptr, WS_CHILD, parent);
  HWND a1 = window(nullptr, WS_CHILD, a);
  HWND b = window(nullptr, WS_CHILD, parent);
  okSequence({{WM_NCCREATE, sent}, {WM_CREATE, sent}, {WM_NCCREATE, sent}, {WM_CREATE, sent},
              {WM_NCCREATE, sent}, {WM_CREATE, sent}, {WM_NCCREATE, sent}, {WM_CREATE, sent}},
             "create");

  ASSERT_TRUE(DestroyWindow(parent));
  std::vector<MessageEntry> got = MessageLog::get().take();
  std::vector<std::pair<HWND, UINT>> order;
  for (const MessageEntry &e : got)
    order.emplace_back(e.hwnd, e.message);
  // Parents hear of the end first; children are gone before their parent.
  std::vector<std::pair<HWND, UINT>> want{
      {parent, WM_DESTROY}, {a, WM_DESTROY},      {a1, WM_DESTROY}, {b, WM_DESTROY},
      {a1, WM_NCDESTROY},   {a, WM_NCDESTROY},    {b, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
  EXPECT_EQ(order, want);
  for (HWND h : {parent, a, a1, b})
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(Messages, OwnedWindowsGoFirst)
{
  HWND owner = window();
  HWND owned = window(nullptr, WS_POPUP, owner);
  MessageLog::get().take();
  ASSERT_TRUE(DestroyWindow(owner));
  std::vector<MessageEntry> got = MessageLog::get().take();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].hwnd, owned);
  EXPECT_EQ(got[1].hwnd, owned);
  EXPECT_EQ(got[2].hwnd, owner);
  EXPECT_FALSE(IsWindow(owned));
}

TEST_F(Messages, CreationRefusedByTheWindow)
{
  windowBehaviour() = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    return m == WM_CREATE ? -1 : DefWindowProcW(h, m, w, l);
  };
  EXPECT_EQ(makeWindow(), nullptr);
  okSequence({{WM_NCCREATE, sent}, {WM_CREATE, sent}, {WM_DESTROY, sent}, {WM_NCDESTROY, sent}},
             "WM_CREATE -1");

  windowBehaviour() = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    return m == WM_NCCREATE ? FALSE : DefWindowProcW(h, m, w, l);
  };
  EXPECT_EQ(makeWindow(), nullptr);
  okSequence({{WM_NCCREATE, sent}, {WM_NCDESTROY, sent}}, "WM_NCCREATE FALSE");
}

TEST_F(Messages, SentBeforePostedAndQuitLast)
{
  HWND w = window();
  MessageLog::get().take();
  ASSERT_TRUE(PostMessageW(w, WM_USER + 1, 1, 0));
  PostQuitMessage(7);
  ASSERT_TRUE(PostMessageW(w, WM_USER + 2, 2, 0));
  EXPECT_EQ(SendMessageW(w, WM_USER + 3, 3, 0), 0);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0))
    dispatch(msg);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  okSequence({{WM_USER + 3, sent | wparam, 3},
              {WM_USER + 1, posted | wparam, 1},
              {WM_USER + 2, posted | wparam, 2}},
             "sent, posted, quit");
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit request is taken once";
}

TEST_F(Messages, NestedLoopKeepsServingAndPassesQuitOn)
{
  HWND w = window();
  // WM_USER+1 runs a loop of its own, as a modal dialog does, until WM_USER+3
  // or the quit request; a quit request is put back for the outer loop.
  bool nestedDone = false;
  windowBehaviour() = [&](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER + 1) {
      MSG inner;
      while (!nestedDone) {
        if (!GetMessageW(&inner, nullptr, 0, 0)) {
          PostQuitMessage(static_cast<int>(inner.wParam));
          break;
        }
        dispatch(inner);
      }
      return 0;
    }
    if (m == WM_USER + 2)
      PostQuitMessage(3);
    if (m == WM_USER + 3)
      nestedDone = true;
    return DefWindowProcW(h, m, wp, lp);
  };
  MessageLog::get().take();
  PostMessageW(w, WM_USER + 1, 0, 0);
  PostMessageW(w, WM_USER + 3, 0, 0);
  PostMessageW(w, WM_USER + 4, 0, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  dispatch(msg);
  okSequence({{WM_USER + 1, posted}, {WM_USER + 3, posted}}, "nested loop ends on its message");

  nestedDone = false;
  PostMessageW(w, WM_USER + 1, 0, 0);
  PostMessageW(w, WM_USER + 2, 0, 0);
  while (GetMessageW(&msg, nullptr, 0, 0))
    dispatch(msg);
  EXPECT_EQ(msg.wParam, 3u);
  okSequence({{WM_USER + 4, posted}, {WM_USER + 1, posted}, {WM_USER + 2, posted}},
             "quit inside the nested loop ends the outer one");
}

TEST_F(Messages, Filters)
{
  HWND a = window();
  HWND child = window(nullptr, WS_CHILD, a);
  HWND b = window();
  PostMessageW(b, WM_USER + 1, 0, 0);
  PostMessageW(child, WM_USER + 2, 0, 0);
  PostMessageW(nullptr, WM_USER + 3, 0, 0);
  PostMessageW(a, WM_APP, 0, 0);
  PostQuitMessage(0);

  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, a, 0, 0, PM_REMOVE)) << "a window's filter takes its children";
  EXPECT_EQ(msg.message, WM_USER + 2);
  ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 3);
  EXPECT_EQ(msg.hwnd, nullptr);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_APP);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE)) << "PM_NOREMOVE left it";
  ASSERT_TRUE(PeekMessageW(&msg, a, WM_USER, WM_USER + 10, PM_REMOVE))
      << "the quit request passes any filter once the filter's messages are gone";
  EXPECT_EQ(msg.message, WM_QUIT);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, b);

  DestroyWindow(b);
  EXPECT_EQ(GetMessageW(&msg, b, 0, 0), -1) << "a window that is gone is a bad filter";
}

TEST_F(Messages, WhatMayNotBePosted)
{
  HWND w = window();
  HWND gone = makeWindow();
  DestroyWindow(gone);
  COPYDATASTRUCT cds{1, 0, nullptr};
  EXPECT_FALSE(PostMessageW(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
  EXPECT_FALSE(PostMessageW(gone, WM_USER, 0, 0));

  // Messages still queued for a window that goes are dropped with it.
  PostMessageW(w, WM_USER, 0, 0);
  DestroyWindow(w);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, CloseDestroysByDefault)
{
  HWND w = window();
  MessageLog::get().take();
  SendMessageW(w, WM_CLOSE, 0, 0);
  okSequence({{WM_CLOSE, sent}, {WM_DESTROY, sent}, {WM_NCDESTROY, sent}}, "WM_CLOSE");
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(InSendMessage());
}

TEST_F(Messages, TranslateMessageMakesCharacters)
{
  HWND w = window();
  const struct {
    WPARAM key;
    bool translated;
    WPARAM character;
  } cases[] = {{VK_RETURN, true, 0x0D}, {VK_ESCAPE, true, 0x1B}, {VK_SPACE, true, 0x20},
               {VK_TAB, true, 0x09},    {VK_BACK, true, 0x08},   {'A', false, 0}};
  for (const auto &c : cases) {
    MSG key{w, WM_KEYDOWN, c.key, 0, 0, {0, 0}};
    EXPECT_EQ(TranslateMessage(&key), c.translated ? TRUE : FALSE) << c.key;
    MSG msg;
    EXPECT_EQ(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE), c.translated ? TRUE : FALSE);
    if (c.translated) {
      EXPECT_EQ(msg.message, WM_CHAR);
      EXPECT_EQ(msg.wParam, c.character);
    }
  }
}

TEST_F(Messages, ClassRecords)
{
  WNDCLASSW good{};
  good.lpfnWndProc = DefWindowProcW;
  good.lpszClassName = u"QM Class Records";
  std::u16string tooLong(257, u'x');
  const struct {
    const char *what;
    void (*change)(WNDCLASSW &, const std::u16string &);
  } bad[] = {
      {"no procedure", [](WNDCLASSW &c, const std::u16string &) { c.lpfnWndProc = nullptr; }},
      {"no name", [](WNDCLASSW &c, const std::u16string &) { c.lpszClassName = nullptr; }},
      {"empty name", [](WNDCLASSW &c, const std::u16string &) { c.lpszClassName = u""; }},
      {"name too long",
       [](WNDCLASSW &c, const std::u16string &s) { c.lpszClassName = s.c_str(); }},
      {"class bytes", [](WNDCLASSW &c, const std::u16string &) { c.cbClsExtra = 4; }},
      {"window bytes", [](WNDCLASSW &c, const std::u16string &) { c.cbWndExtra = 41; }},
  };
  for (const auto &b : bad) {
    WNDCLASSW wc = good;
    b.change(wc, tooLong);
    EXPECT_EQ(RegisterClassW(&wc), 0) << b.what;
  }

  ATOM atom = RegisterClassW(&good);
  ASSERT_NE(atom, 0);
  WNDCLASSW sameName = good;
  sameName.lpszClassName = u"qm CLASS records";
  EXPECT_EQ(RegisterClassW(&sameName), 0) << "class names ignore case";

  HWND w = CreateWindowExW(0, MAKEINTRESOURCEW(atom), u"By atom", 0, 0, 0, 0, 0, nullptr, nullptr,
                           nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(FindWindowW(u"QM CLASS RECORDS", u"by ATOM"), w);
  EXPECT_EQ(FindWindowW(nullptr, u"By atom"), w);
  EXPECT_EQ(FindWindowW(u"QM Class Records", nullptr), w);
  EXPECT_FALSE(UnregisterClassW(u"QM Class Records", nullptr)) << "a window of it exists";
  DestroyWindow(w);
  EXPECT_TRUE(UnregisterClassW(u"QM Class Records", nullptr));
  EXPECT_EQ(CreateWindowExW(0, u"QM Class Records", nullptr, 0, 0, 0, 0, 0, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
}

LRESULT subclassProc(HWND, UINT message, WPARAM, LPARAM)
{
  return message == WM_USER ? 42 : 0;
}

TEST_F(Messages, WindowValues)
{
  HWND parent = window();
  HWND child = CreateWindowExW(0, testClass(), nullptr, WS_CHILD, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(1101), nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(child, GWLP_ID), 1101);
  EXPECT_EQ(GetWindowLongPtrW(child, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(parent));
  EXPECT_EQ(GetWindowLongPtrW(child, GWL_STYLE), static_cast<LONG_PTR>(WS_CHILD));
  EXPECT_FALSE(FindWindowW(testClass(), nullptr) == child) << "child windows are not top-level";

  EXPECT_EQ(SetWindowLongPtrW(parent, GWLP_USERDATA, 5), 0);
  EXPECT_EQ(SetWindowLongPtrW(parent, GWLP_USERDATA, 6), 5);
  EXPECT_EQ(SetWindowLongPtrW(parent, 8, -9), 0) << "extra bytes 8..15";
  EXPECT_EQ(GetWindowLongPtrW(parent, 8), -9);
  EXPECT_EQ(SetWindowLongPtrW(parent, 9, 1), 0) << "a LONG_PTR at 9 does not fit in 16 bytes";
  EXPECT_EQ(GetWindowLongPtrW(parent, 9), 0);

  LONG_PTR old = SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc));
  EXPECT_EQ(SendMessageW(parent, WM_USER, 0, 0), 42);
  SetWindowLongPtrW(parent, GWLP_WNDPROC, old);
  EXPECT_EQ(SendMessageW(parent, WM_USER, 0, 0), 0);
}

TEST_F(Messages, NoDialogWithoutATemplateOrADisplayForIt)
{
  for (const DisplayDriver *d : {&headlessDisplay(), &testDisplay(), &terminalDisplay()}) {
    setDisplay(*d);
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(103), nullptr, nullptr, 0), -1) << d->name;
  }
  setDisplay(headlessDisplay());
}

} // namespace
