// Choosing the display, the headless display, and what every display
// shares: the screen's size, the dirty mark, the display's thread.
#include "platform/window/display.h"

#include "platform/errline/errline.h"
#include "platform/window/window_internal.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<const DisplayDriver *> chosen{nullptr}; // the display in use, once chosen
std::atomic<bool> dirty{true};                      // the screen changed since it was last drawn
std::atomic<const ThreadQueue *> displayThread{nullptr}; // the thread whose waits poll input
std::atomic<bool> lentOut{false};                   // the terminal is lent to another process

const DisplayDriver headless{"headless", false, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

const DisplayDriver &chooseDisplay()
{
  const char *forced = std::getenv("QUILLMARSH_DISPLAY");
  if ((forced && std::strcmp(forced, "headless") == 0) || !isatty(STDOUT_FILENO) || !terminalUsable())
    return headlessDisplay();
  return terminalDisplay();
}

} // namespace

const DisplayDriver &headlessDisplay()
{
  return headless;
}

const DisplayDriver &currentDisplay()
{
  const DisplayDriver *d = chosen.load();
  if (!d) {
    const DisplayDriver *expected = nullptr;
    chosen.compare_exchange_strong(expected, &chooseDisplay());
    d = chosen.load();
    // The platform's warnings from now on go where the display puts such lines.
    setErrorLineSink(displayWriteLine);
  }
  return *d;
}

void setDisplay(const DisplayDriver &display)
{
  chosen = &display;
  dirty = true;
  setErrorLineSink(displayWriteLine);
}

void displayScreenSize(int *cx, int *cy)
{
  int w = 240, h = 320;
  if (auto size = currentDisplay().pScreenSize)
    size(&w, &h);
  *cx = w;
  *cy = h;
}

RECT displayWorkArea()
{
  int cx, cy;
  displayScreenSize(&cx, &cy);
  return RECT{0, DISPLAY_CELL_HEIGHT, cx, cy - DISPLAY_CELL_HEIGHT};
}

void markScreenDirty()
{
  dirty.store(true, std::memory_order_release);
}

bool takeScreenDirty()
{
  return dirty.exchange(false, std::memory_order_acq_rel);
}

void displayDrawNow()
{
  if (displayThread.load() != currentQueue().get())
    return;
  if (auto flush = currentDisplay().pFlush)
    flush();
}

void displayWriteLine(const std::string &line)
{
  if (auto write = currentDisplay().pWriteLine) {
    write(line);
    return;
  }
  (void)std::fwrite(line.data(), 1, line.size(), stderr); // nothing to do when standard error is gone
}

void claimDisplay()
{
  const ThreadQueue *expected = nullptr;
  displayThread.compare_exchange_strong(expected, currentQueue().get());
}

bool displayAvailableHere()
{
  if (!currentDisplay().showsDialogs)
    return false;
  const ThreadQueue *owner = displayThread.load();
  return !owner || owner == currentQueue().get();
}

bool isDisplayThread(const ThreadQueue &q)
{
  return displayThread.load() == &q;
}

bool displayLentOut()
{
  return lentOut.load();
}

void setDisplayLentOut(bool lent)
{
  lentOut = lent;
}

bool displayIdle(HWND top)
{
  auto idle = currentDisplay().pIdle;
  return idle && idle(top);
}
