// Choosing the display, and the displays without a screen.
#include "platform/window/display.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::atomic<const DisplayDriver *> chosen{nullptr}; // the display in use, once chosen

const DisplayDriver headless{"headless", nullptr, nullptr};

const DisplayDriver &chooseDisplay()
{
  const char *forced = std::getenv("QUILLMARSH_DISPLAY");
  if ((forced && std::strcmp(forced, "headless") == 0) || !isatty(STDOUT_FILENO))
    return headlessDisplay();
  return terminalDisplay();
}

// The test display's record; never destroyed, like the tray it mirrors.
struct TestRecord {
  std::mutex lock;                         // guards notices
  std::vector<TestDisplayNotice> notices;  // what it was told, oldest first
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

const DisplayDriver test{"test", nullptr, testNotifyIcon};

} // namespace

const DisplayDriver &headlessDisplay()
{
  return headless;
}

const DisplayDriver &testDisplay()
{
  return test;
}

const DisplayDriver &currentDisplay()
{
  const DisplayDriver *d = chosen.load();
  if (!d) {
    const DisplayDriver *expected = nullptr;
    chosen.compare_exchange_strong(expected, &chooseDisplay());
    d = chosen.load();
  }
  return *d;
}

void setDisplay(const DisplayDriver &display)
{
  chosen = &display;
}

std::vector<TestDisplayNotice> testDisplayTakeNotices()
{
  TestRecord &r = testRecord();
  std::lock_guard<std::mutex> guard(r.lock);
  std::vector<TestDisplayNotice> out;
  out.swap(r.notices);
  return out;
}
