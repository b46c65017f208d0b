// Icon handles: one per module and icon number, kept for the process.
#include "platform/window/window.h"

#include <mutex>
#include <vector>

namespace {

// An icon LoadIconW handed out.
struct LoadedIcon {
  HINSTANCE module; // the module it came from (null: stock)
  WORD id;          // its number
};

// Handle ICON_HANDLE_BASE + n stands for loaded[n].
constexpr UINT_PTR ICON_HANDLE_BASE = 0x1000;

// The icons handed out; never destroyed, as handles live as long as the process.
struct Icons {
  std::mutex lock;                // guards loaded
  std::vector<LoadedIcon> loaded; // in the order they were first loaded
};

Icons &icons()
{
  static Icons *i = new Icons;
  return *i;
}

} // namespace

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName)
{
  if (!lpIconName || !IS_INTRESOURCE(lpIconName))
    return nullptr;
  auto id = static_cast<WORD>(reinterpret_cast<UINT_PTR>(lpIconName));
  Icons &all = icons();
  std::lock_guard<std::mutex> guard(all.lock);
  std::size_t n = 0;
  while (n < all.loaded.size() && !(all.loaded[n].module == hInstance && all.loaded[n].id == id))
    ++n;
  if (n == all.loaded.size())
    all.loaded.push_back(LoadedIcon{hInstance, id});
  return reinterpret_cast<HICON>(ICON_HANDLE_BASE + n);
}

bool iconResource(HICON icon, HINSTANCE *module, WORD *id)
{
  auto value = reinterpret_cast<UINT_PTR>(icon);
  Icons &all = icons();
  std::lock_guard<std::mutex> guard(all.lock);
  if (value < ICON_HANDLE_BASE || value - ICON_HANDLE_BASE >= all.loaded.size())
    return false;
  *module = all.loaded[value - ICON_HANDLE_BASE].module;
  *id = all.loaded[value - ICON_HANDLE_BASE].id;
  return true;
}
