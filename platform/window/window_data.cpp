// A window's values as GetWindowLongPtrW and SetWindowLongPtrW reach them,
// and the default window procedure.
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <algorithm>
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

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
  switch (Msg) {
  case WM_NCCREATE:
    return TRUE;
  case WM_SETTEXT: {
    {
      WindowSystem &ws = windowSystem();
      std::lock_guard<std::mutex> guard(ws.lock);
      Window *w = findWindowLocked(hWnd);
      if (!w)
        return FALSE;
      const auto *text = reinterpret_cast<LPCWSTR>(lParam);
      w->title = text ? std::u16string(text) : std::u16string();
    }
    markScreenDirty();
    return TRUE;
  }
  case WM_GETTEXT: {
    auto *buffer = reinterpret_cast<LPWSTR>(lParam);
    if (!buffer || wParam == 0)
      return 0;
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hWnd);
    if (!w) {
      buffer[0] = 0;
      return 0;
    }
    std::size_t n = std::min<std::size_t>(w->title.size(), wParam - 1);
    std::memcpy(buffer, w->title.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
    return static_cast<LRESULT>(n);
  }
  case WM_GETTEXTLENGTH: {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hWnd);
    return w ? static_cast<LRESULT>(w->title.size()) : 0;
  }
  case WM_CLOSE:
    DestroyWindow(hWnd);
    return 0;
  default:
    return 0;
  }
}

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString)
{
  return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
  if (!lpString || nMaxCount <= 0)
    return 0;
  lpString[0] = 0;
  return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                       reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthW(HWND hWnd)
{
  return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}
