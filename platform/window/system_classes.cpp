// The window system's own classes: dialogs, the controls, menus and the
// softkey bar. They are registered once per process, before the first
// window is made, like the handheld's system classes.
#include "platform/window/aygshell.h"
#include "platform/window/dialog.h"
#include "platform/window/window_internal.h"

#include <mutex>

void registerSystemClass(LPCWSTR name, WNDPROC proc, int extraBytes, PaintProc paint, bool popup)
{
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = extraBytes;
  wc.lpszClassName = name;
  ATOM atom = RegisterClassW(&wc);
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  if (WindowClass *cls = findClassLocked(atom ? MAKEINTRESOURCEW(atom) : name)) {
    cls->paint = paint;
    cls->popupClass = popup;
  }
}

void ensureSystemClasses()
{
  static std::once_flag once;
  std::call_once(once, [] {
    // The dialog class has the handheld's atom, so WC_DIALOG names it.
    {
      WindowSystem &ws = windowSystem();
      std::lock_guard<std::mutex> guard(ws.lock);
      auto cls = std::make_unique<WindowClass>();
      cls->atom = 0x8002;
      cls->name = u"#32770";
      cls->wc = WNDCLASSW{};
      cls->wc.lpfnWndProc = dialogClassProc;
      cls->wc.cbWndExtra = 3 * sizeof(LONG_PTR);
      cls->wc.lpszClassName = cls->name.c_str();
      cls->paint = paintDialog;
      ws.classes.push_back(std::move(cls));
    }
    registerSystemClass(SIPPREF_CLASS, DefWindowProcW, 0, nullptr);
    registerControlClasses();
    registerMenuClasses();
  });
}
