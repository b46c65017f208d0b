#include "tests/platform/window/message_log.h"

#include <thread>

namespace {

class Focus : public MessageTest {
protected:
  void TearDown() override
  {
    SetFocus(nullptr);
    SetActiveWindow(nullptr);
    MessageTest::TearDown();
  }
};

WPARAM w(HWND h) { return reinterpret_cast<WPARAM>(h); }
LPARAM l(HWND h) { return reinterpret_cast<LPARAM>(h); }

} // namespace

TEST_F(Focus, MovingTheFocusActivatesItsTopLevelWindowAndTellsBothSides)
{
  HWND a = window(nullptr, WS_VISIBLE);
  HWND b = window(nullptr, WS_VISIBLE);
  HWND child = window(nullptr, WS_CHILD | WS_VISIBLE, b);
  MessageLog::get().take();

  EXPECT_EQ(SetFocus(a), nullptr);
  okSequence({{WM_ACTIVATE, sent | wparam | lparam, WA_ACTIVE, 0}, {WM_SETFOCUS, sent | wparam, 0}},
             "first focus");
  EXPECT_EQ(SetFocus(child), a);
  okSequence({{WM_ACTIVATE, sent | wparam | lparam, WA_INACTIVE, l(b)},
              {WM_ACTIVATE, sent | wparam | lparam, WA_ACTIVE, l(a)},
              {WM_KILLFOCUS, sent | wparam, w(child)},
              {WM_SETFOCUS, sent | wparam, w(a)}},
             "focus into another window's child");
  EXPECT_EQ(GetFocus(), child);
  EXPECT_EQ(GetActiveWindow(), b);

  // Nothing moves: nothing is said.
  EXPECT_EQ(SetFocus(child), child);
  EXPECT_EQ(SetActiveWindow(b), b);
  okSequence({}, "no change");

  // A bad handle changes nothing.
  EXPECT_EQ(SetFocus(reinterpret_cast<HWND>(0x7777)), nullptr);
  EXPECT_EQ(GetFocus(), child);
  EXPECT_EQ(GetActiveWindow(), b);

  // A window that goes away takes its focus and activation along.
  DestroyWindow(b);
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(Focus, ForegroundIsProcessWideWhileFocusAndActivationArePerThread)
{
  HWND a = window(nullptr, WS_VISIBLE);
  EXPECT_FALSE(SetForegroundWindow(nullptr));
  EXPECT_TRUE(SetForegroundWindow(a));
  EXPECT_EQ(GetForegroundWindow(), a);
  EXPECT_EQ(GetActiveWindow(), a);

  // Another thread sees the same foreground window, but its own (empty)
  // activation and focus, and cannot focus a window it does not own.
  HWND otherActive = a, otherFocus = a, otherForeground = nullptr, refused = a;
  std::thread([&] {
    otherForeground = GetForegroundWindow();
    otherActive = GetActiveWindow();
    otherFocus = GetFocus();
    refused = SetFocus(a);
  }).join();
  EXPECT_EQ(otherForeground, a);
  EXPECT_EQ(otherActive, nullptr);
  EXPECT_EQ(otherFocus, nullptr);
  EXPECT_EQ(refused, nullptr);

  DestroyWindow(a);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
}
