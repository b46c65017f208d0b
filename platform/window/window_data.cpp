// A window's values as GetWindowLongPtrW and SetWindowLongPtrW reach them,
// and the default window procedure.
#include "platform/window/window_internal.h"

#include <cstring>

namespace {

// The field an index names, or null (extra bytes are handled apart).
LONG_PTR *fieldOf(Window &w, int index)
{
  switch (index) {
  case GWLP_USERDATA:
    return &w.userData;
  case GWLP_ID:
    return &w.id;
  default:
    return nullptr;
  }
}

bool extraFits(const Window &w, int index)
{
  return index >= 0 && static_cast<std::size_t>(index) + sizeof(LONG_PTR) <= w.extra.size();
}

} // namespace

LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  if (!w)
    return 0;
  if (nIndex >= 0) {
    if (!extraFits(*w, nIndex))
      return 0;
    LONG_PTR value;
    std::memcpy(&value, w->extra.data() + nIndex, sizeof value);
    return value;
  }
  if (LONG_PTR *field = fieldOf(*w, nIndex))
    return *field;
  switch (nIndex) {
  case GWLP_WNDPROC:
    return reinterpret_cast<LONG_PTR>(w->proc);
  case GWLP_HINSTANCE:
    return reinterpret_cast<LONG_PTR>(w->instance);
  case GWLP_HWNDPARENT:
    return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
  case GWL_STYLE:
    return static_cast<LONG_PTR>(w->style);
  case GWL_EXSTYLE:
    return static_cast<LONG_PTR>(w->exStyle);
  default:
    return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hWnd);
  if (!w)
    return 0;
  LONG_PTR previous = 0;
  if (nIndex >= 0) {
    if (!extraFits(*w, nIndex))
      return 0;
    std::memcpy(&previous, w->extra.data() + nIndex, sizeof previous);
    std::memcpy(w->extra.data() + nIndex, &dwNewLong, sizeof dwNewLong);
    return previous;
  }
  if (LONG_PTR *field = fieldOf(*w, nIndex)) {
    previous = *field;
    *field = dwNewLong;
    return previous;
  }
  switch (nIndex) {
  case GWLP_WNDPROC:
    if (!dwNewLong)
      return 0;
    previous = reinterpret_cast<LONG_PTR>(w->proc);
    w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
    return previous;
  case GWL_STYLE:
    previous = static_cast<LONG_PTR>(w->style);
    w->style = static_cast<DWORD>(dwNewLong);
    return previous;
  case GWL_EXSTYLE:
    previous = static_cast<LONG_PTR>(w->exStyle);
    w->exStyle = static_cast<DWORD>(dwNewLong);
    return previous;
  default:
    return 0;
  }
}

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM, LPARAM)
{
  switch (Msg) {
  case WM_NCCREATE:
    return TRUE;
  case WM_CLOSE:
    DestroyWindow(hWnd);
    return 0;
  default:
    return 0;
  }
}
