// The terminal display. So far it shows the tray: the icons' tips on the
// terminal's current line, "[Quillmarsh]", redrawn at every change and
// cleared when the last icon goes. Dialogs and the activation of the icon
// from the keyboard come with the dialogs.
#include "platform/text/wstr.h"
#include "platform/window/display.h"

#include <cstdio>
#include <string>

namespace {

// The tip as the terminal may print it: control characters would be taken
// as commands by the terminal, so they show as '?'.
std::string printable(const std::u16string &tip)
{
  std::u16string clean(tip);
  for (char16_t &c : clean)
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
      c = u'?';
  return utf16ToUtf8(clean);
}

void terminalNotifyIcon(DWORD, const TrayIcon &)
{
  // Back to the line's start and clear it (VT100 erase in line), then the
  // icons as they are now.
  std::string line = "\r\x1b[K";
  for (const TrayIcon &icon : trayIcons())
    line += "[" + printable(icon.tip) + "]";
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

const DisplayDriver terminal{"terminal", false, terminalNotifyIcon, nullptr, nullptr, nullptr, nullptr, nullptr};

} // namespace

const DisplayDriver &terminalDisplay()
{
  return terminal;
}
