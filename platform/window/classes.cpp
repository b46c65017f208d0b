// Window classes: registered per process, found by name (ignoring case) or
// by atom.
#include "platform/text/wstr.h"
#include "platform/window/window_internal.h"

namespace {

constexpr std::size_t MAX_CLASS_NAME_UNITS = 256; // longest class name
constexpr int MAX_WINDOW_EXTRA = 40;              // most extra window bytes

} // namespace

WindowClass *findClassLocked(LPCWSTR nameOrAtom)
{
  if (!nameOrAtom)
    return nullptr;
  WindowSystem &ws = windowSystem();
  if (IS_INTRESOURCE(nameOrAtom)) {
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(nameOrAtom));
    for (auto &c : ws.classes)
      if (c->atom == atom)
        return c.get();
    return nullptr;
  }
  for (auto &c : ws.classes)
    if (wstrICmp(c->name.c_str(), nameOrAtom) == 0)
      return c.get();
  return nullptr;
}

ATOM RegisterClassW(const WNDCLASSW *lpWndClass)
{
  if (!lpWndClass || !lpWndClass->lpfnWndProc || !lpWndClass->lpszClassName ||
      IS_INTRESOURCE(lpWndClass->lpszClassName))
    return 0;
  std::size_t len = wstrLen(lpWndClass->lpszClassName);
  if (len == 0 || len > MAX_CLASS_NAME_UNITS || lpWndClass->cbClsExtra != 0 ||
      lpWndClass->cbWndExtra < 0 || lpWndClass->cbWndExtra > MAX_WINDOW_EXTRA)
    return 0;

  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  if (findClassLocked(lpWndClass->lpszClassName) || ws.nextAtom == 0)
    return 0;
  auto cls = std::make_unique<WindowClass>();
  cls->atom = ws.nextAtom++;
  cls->name.assign(lpWndClass->lpszClassName, len);
  cls->wc = *lpWndClass;
  cls->wc.lpszClassName = cls->name.c_str();
  // The menu name may point at the caller's memory: it is never read here.
  cls->wc.lpszMenuName = nullptr;
  ws.classes.push_back(std::move(cls));
  return ws.classes.back()->atom;
}

BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  WindowClass *cls = findClassLocked(lpClassName);
  if (!cls || cls->liveWindows > 0)
    return FALSE;
  for (auto it = ws.classes.begin(); it != ws.classes.end(); ++it)
    if (it->get() == cls) {
      ws.classes.erase(it);
      break;
    }
  return TRUE;
}
