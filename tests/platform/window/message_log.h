// Expected message sequences, after Wine's user32 message tests: the test
// window procedure records every message it gets, marked sent or posted,
// and okSequence compares the record with a table.
#pragma once

#include "platform/clock/clock.h"
#include "platform/window/window.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

// How a message is expected to arrive.
enum : unsigned {
  sent = 0x01,     // a direct or sent call of the window procedure
  posted = 0x02,   // taken from the queue and dispatched
  inter = 0x04,    // sent by another thread or process (InSendMessage)
  wparam = 0x08,   // wParam is compared
  lparam = 0x10,   // lParam is compared
  optional = 0x20, // may be missing
};

// One expected or recorded message.
struct MessageEntry {
  UINT message;      // the message number
  unsigned flags;    // sent or posted, inter, and what to compare
  WPARAM wParam = 0; // compared when flags has wparam
  LPARAM lParam = 0; // compared when flags has lparam
  HWND hwnd = nullptr; // the window (recorded only)
};

// Process-wide record of what the test windows got, in order.
struct MessageLog {
  std::mutex lock;                    // guards entries
  std::vector<MessageEntry> entries;  // what arrived

  static MessageLog &get()
  {
    static MessageLog log;
    return log;
  }
  void add(const MessageEntry &e)
  {
    std::lock_guard<std::mutex> g(lock);
    entries.push_back(e);
  }
  std::vector<MessageEntry> take()
  {
    std::lock_guard<std::mutex> g(lock);
    std::vector<MessageEntry> out;
    out.swap(entries);
    return out;
  }
};

// Set by dispatch() for the one procedure call that DispatchMessageW makes.
inline thread_local bool nextCallIsDispatch = false;

// What a test window does beyond recording; DefWindowProcW when unset.
using WindowBehaviour = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
inline WindowBehaviour &windowBehaviour()
{
  static WindowBehaviour behaviour;
  return behaviour;
}

inline LRESULT recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  unsigned how = nextCallIsDispatch ? posted : sent;
  nextCallIsDispatch = false;
  if (InSendMessage())
    how |= inter;
  MessageLog::get().add(MessageEntry{message, how, wParam, lParam, hwnd});
  if (windowBehaviour())
    return windowBehaviour()(hwnd, message, wParam, lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The test window class, registered once per process.
inline const WCHAR *testClass()
{
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = recordingProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = u"QM Test Window";
    return RegisterClassW(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  return u"QM Test Window";
}

inline HWND makeWindow(const WCHAR *title = nullptr, DWORD style = 0, HWND parent = nullptr)
{
  return CreateWindowExW(0, testClass(), title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, nullptr, nullptr);
}

// Dispatches one message, marking the procedure call as posted.
inline void dispatch(const MSG &msg)
{
  nextCallIsDispatch = true;
  DispatchMessageW(&msg);
  nextCallIsDispatch = false;
}

// Takes and dispatches everything there is, without waiting.
inline void flushMessages()
{
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    dispatch(msg);
}

inline std::string describe(const MessageEntry &e)
{
  std::ostringstream s;
  s << "0x" << std::hex << e.message << ((e.flags & posted) ? " posted" : " sent")
    << ((e.flags & inter) ? " inter" : "") << " w=" << std::dec << e.wParam << " l=" << e.lParam;
  return s.str();
}

// Compares the record (taken out of the log) with the expected messages.
inline void okSequence(const std::vector<MessageEntry> &expected, const char *context)
{
  std::vector<MessageEntry> got = MessageLog::get().take();
  std::size_t g = 0;
  for (const MessageEntry &want : expected) {
    const bool matches = g < got.size() && got[g].message == want.message &&
                         (got[g].flags & (sent | posted | inter)) ==
                             (want.flags & (sent | posted | inter)) &&
                         (!(want.flags & wparam) || got[g].wParam == want.wParam) &&
                         (!(want.flags & lparam) || got[g].lParam == want.lParam);
    if (matches) {
      ++g;
      continue;
    }
    if (want.flags & optional)
      continue;
    ADD_FAILURE() << context << ": expected " << describe(want) << " at " << g << ", got "
                  << (g < got.size() ? describe(got[g]) : std::string("nothing"));
    return;
  }
  for (; g < got.size(); ++g)
    ADD_FAILURE() << context << ": unexpected " << describe(got[g]);
}

// Every test starts and ends with an empty queue, log and behaviour, and the
// real clock; its data root and its channel folder are its own.
class MessageTest : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    runtime = std::make_unique<TempDir>();
    setenv("XDG_RUNTIME_DIR", runtime->path.c_str(), 1);
    reset();
  }
  void TearDown() override
  {
    for (HWND h : windows)
      if (IsWindow(h))
        DestroyWindow(h);
    reset();
    unsetenv("XDG_RUNTIME_DIR");
    runtime.reset();
    TempRootTest::TearDown();
  }
  void reset()
  {
    windowBehaviour() = nullptr;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    MessageLog::get().take();
    clockUseReal();
  }
  // A test window destroyed at the end of the test.
  HWND window(const WCHAR *title = nullptr, DWORD style = 0, HWND parent = nullptr)
  {
    HWND h = makeWindow(title, style, parent);
    windows.push_back(h);
    return h;
  }
  std::vector<HWND> windows;          // windows to destroy at the end
  std::unique_ptr<TempDir> runtime;   // stands for XDG_RUNTIME_DIR
};
