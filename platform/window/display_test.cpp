// The test display: a 240 x 320 screen that tests read as text, a record of
// the tray, and a script of steps for the modal loops.
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <deque>
#include <mutex>

namespace {

// The test display's record; never destroyed, like the tray it mirrors.
struct TestRecord {
  std::mutex lock;                                  // guards everything below
  std::vector<TestDisplayNotice> notices;           // what it was told, oldest first
  std::deque<std::function<void(HWND)>> steps;      // what the modal loops run next
  int unscripted = 0;                               // waits that found no step
  int width = 240;                                  // screen size in pixels
  int height = 320;
};

TestRecord &testRecord()
{
  static TestRecord *r = new TestRecord;
  return *r;
}

void testNotifyIcon(DWORD message, const TrayIcon &icon)
{
  TestRecord &r = testRecord();
  std::lock_guard<std::mutex> guard(r.lock);
  r.notices.push_back(TestDisplayNotice{message, icon});
}

void testScreenSize(int *cx, int *cy)
{
  TestRecord &r = testRecord();
  std::lock_guard<std::mutex> guard(r.lock);
  *cx = r.width;
  *cy = r.height;
}

bool testIdle(HWND top)
{
  std::function<void(HWND)> step;
  {
    TestRecord &r = testRecord();
    std::lock_guard<std::mutex> guard(r.lock);
    if (r.steps.empty()) {
      ++r.unscripted;
    } else {
      step = std::move(r.steps.front());
      r.steps.pop_front();
    }
  }
  if (step)
    step(top);
  else
    PostMessageW(top, WM_CLOSE, 0, 0);
  return true;
}

const DisplayDriver test{"test", true, testNotifyIcon, testScreenSize, nullptr, nullptr, nullptr, testIdle, nullptr};

} // namespace

const DisplayDriver &testDisplay()
{
  return test;
}

std::vector<TestDisplayNotice> testDisplayTakeNotices()
{
  TestRecord &r = testRecord();
  std::lock_guard<std::mutex> guard(r.lock);
  std::vector<TestDisplayNotice> out;
  out.swap(r.notices);
  return out;
}

void testDisplayScript(std::vector<std::function<void(HWND)>> steps)
{
  TestRecord &r = testRecord();
  std::lock_guard<std::mutex> guard(r.lock);
  r.steps.assign(std::make_move_iterator(steps.begin()), std::make_move_iterator(steps.end()));
  r.unscripted = 0;
}

int testDisplayUnscripted()
{
  TestRecord &r = testRecord();
  std::lock_guard<std::mutex> guard(r.lock);
  int n = r.unscripted;
  r.unscripted = 0;
  return n;
}

std::vector<std::string> testDisplayScreen()
{
  int cx, cy;
  testScreenSize(&cx, &cy);
  return renderScreen(cx / DISPLAY_CELL_WIDTH, cy / DISPLAY_CELL_HEIGHT).lines;
}

void testDisplaySetScreenSize(int cx, int cy)
{
  {
    TestRecord &r = testRecord();
    std::lock_guard<std::mutex> guard(r.lock);
    r.width = cx;
    r.height = cy;
  }
  fitFullScreenWindows();
  markScreenDirty();
}
