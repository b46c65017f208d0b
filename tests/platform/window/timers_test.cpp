// Timers on a frozen platform clock: when they come due, their low priority,
// one message however late, restarting, callbacks.
#include "tests/platform/window/message_log.h"

#include <thread>

namespace {

class Timers : public MessageTest {
protected:
  void SetUp() override
  {
    MessageTest::SetUp();
    clockSetForTest(1000, 0);
  }
  // The next message, if any, without waiting.
  static bool next(MSG *msg, UINT flags = PM_REMOVE)
  {
    return PeekMessageW(msg, nullptr, 0, 0, flags) != FALSE;
  }
};

TEST_F(Timers, DueAfterItsPeriodAndOnceHoweverLate)
{
  HWND w = window();
  ASSERT_EQ(SetTimer(w, 1, 100, nullptr), 1u);
  MSG msg;
  clockAdvance(99);
  EXPECT_FALSE(next(&msg));
  clockAdvance(1);
  ASSERT_TRUE(next(&msg));
  EXPECT_EQ(msg.hwnd, w);
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_FALSE(next(&msg)) << "taken, the timer waits for its next period";

  // Three and a half periods late: one message, next due at the boundary after now.
  clockAdvance(350);
  ASSERT_TRUE(next(&msg));
  EXPECT_FALSE(next(&msg));
  clockAdvance(49);
  EXPECT_FALSE(next(&msg));
  clockAdvance(1);
  EXPECT_TRUE(next(&msg));
}

TEST_F(Timers, OnlyWhenNothingElseWaits)
{
  HWND w = window();
  SetTimer(w, 1, 10, nullptr);
  clockAdvance(10);
  PostMessageW(w, WM_USER, 0, 0);
  MessageLog::get().take();
  flushMessages();
  okSequence({{WM_USER, posted}, {WM_TIMER, posted | wparam, 1}}, "posted before timer");

  // PM_NOREMOVE shows the timer without restarting it.
  clockAdvance(10);
  MSG msg;
  ASSERT_TRUE(next(&msg, PM_NOREMOVE));
  ASSERT_TRUE(next(&msg, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_FALSE(next(&msg));
}

TEST_F(Timers, RulesOfSettingAndKilling)
{
  HWND w = window();
  HWND other = nullptr;
  std::thread([&] { other = makeWindow(); }).join();
  EXPECT_FALSE(IsWindow(other)) << "a thread's windows end with it";
  EXPECT_EQ(SetTimer(other, 1, 100, nullptr), 0u);
  EXPECT_EQ(SetTimer(w, 0, 100, nullptr), 0u) << "a window's timer needs an id";
  EXPECT_FALSE(KillTimer(w, 9));

  // A period below the minimum is the minimum; setting again restarts it.
  SetTimer(w, 2, 0, nullptr);
  clockAdvance(5);
  SetTimer(w, 2, 0, nullptr);
  clockAdvance(9);
  MSG msg;
  EXPECT_FALSE(next(&msg));
  clockAdvance(1);
  EXPECT_TRUE(next(&msg));

  EXPECT_TRUE(KillTimer(w, 2));
  clockAdvance(100);
  EXPECT_FALSE(next(&msg));

  SetTimer(w, 3, 10, nullptr);
  DestroyWindow(w);
  clockAdvance(100);
  EXPECT_FALSE(next(&msg)) << "a window's timers go with it";
}

UINT_PTR calledId = 0; // the id the callback was called with

void timerCallback(HWND, UINT message, UINT_PTR id, DWORD)
{
  if (message == WM_TIMER)
    calledId = id;
}

TEST_F(Timers, ThreadTimerCallbackAndForgedOnes)
{
  calledId = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 50, timerCallback);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(SetTimer(nullptr, id, 60, timerCallback), id) << "an existing thread timer is reset";
  clockAdvance(60);
  MSG msg;
  ASSERT_TRUE(next(&msg));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(timerCallback));
  DispatchMessageW(&msg);
  EXPECT_EQ(calledId, id);
  EXPECT_TRUE(KillTimer(nullptr, id));

  // A WM_TIMER whose lParam names no timer of this thread calls nothing.
  calledId = 0;
  MSG forged{nullptr, WM_TIMER, id, reinterpret_cast<LPARAM>(timerCallback), 0, {0, 0}};
  DispatchMessageW(&forged);
  EXPECT_EQ(calledId, 0u);
}

} // namespace
