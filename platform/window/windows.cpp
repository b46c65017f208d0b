// The window table, creating and destroying windows.
//
// A handle is the slot number in its low 16 bits and the slot's generation
// above them, so a handle of a destroyed window never names the window that
// reuses its slot.
#include "platform/text/wstr.h"
#include "platform/window/display.h"
#include "platform/window/window_internal.h"

#include <algorithm>

namespace {

constexpr std::uint32_t MAX_SLOTS = 0xFFFF; // handles have 16 bits of slot number

HWND makeHandle(std::uint32_t slot, WORD generation)
{
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(generation) << 16 | slot);
}

// The slot a handle names when its generation is current, else null.
WindowSlot *slotOfLocked(HWND hwnd)
{
  auto value = reinterpret_cast<UINT_PTR>(hwnd);
  if (value > 0xFFFFFFFFu)
    return nullptr;
  std::uint32_t index = value & 0xFFFF;
  auto generation = static_cast<WORD>(value >> 16);
  WindowSystem &ws = windowSystem();
  if (index == 0 || index >= ws.slots.size() || generation == 0 ||
      ws.slots[index].generation != generation)
    return nullptr;
  return &ws.slots[index];
}

// Takes a free slot and returns its handle, or null when the table is full.
HWND allocateSlotLocked(WindowSlot **out)
{
  WindowSystem &ws = windowSystem();
  if (ws.slots.empty())
    ws.slots.resize(1);
  std::uint32_t index;
  if (!ws.freeSlots.empty()) {
    index = ws.freeSlots.back();
    ws.freeSlots.pop_back();
  } else {
    if (ws.slots.size() > MAX_SLOTS)
      return nullptr;
    index = static_cast<std::uint32_t>(ws.slots.size());
    ws.slots.emplace_back();
  }
  WindowSlot &slot = ws.slots[index];
  if (++slot.generation == 0)
    slot.generation = 1;
  *out = &slot;
  return makeHandle(index, slot.generation);
}

void freeSlotLocked(HWND hwnd)
{
  WindowSlot *slot = slotOfLocked(hwnd);
  if (!slot)
    return;
  if (slot->local && slot->local->cls)
    --slot->local->cls->liveWindows;
  slot->local.reset();
  slot->remote.reset();
  // Bumping the generation now makes the old handle invalid at once.
  if (++slot->generation == 0)
    slot->generation = 1;
  windowSystem().freeSlots.push_back(reinterpret_cast<UINT_PTR>(hwnd) & 0xFFFF);
}

// The window's children in the order they were made: slots are reused, so
// their order says nothing about it.
std::vector<HWND> childrenInOrderLocked(HWND hwnd, bool withDestroying)
{
  std::vector<std::pair<std::uint64_t, HWND>> found;
  for (const WindowSlot &slot : windowSystem().slots)
    if (slot.local && slot.local->parent == hwnd && (withDestroying || !slot.local->destroying))
      found.emplace_back(slot.local->serial, slot.local->handle);
  std::sort(found.begin(), found.end());
  std::vector<HWND> out;
  for (const auto &f : found)
    out.push_back(f.second);
  return out;
}

// The window and its descendants, parents before children.
void collectSubtreeLocked(HWND hwnd, std::vector<HWND> &out)
{
  out.push_back(hwnd);
  for (HWND child : childrenInOrderLocked(hwnd, true))
    collectSubtreeLocked(child, out);
}

// The window's descendants, children before parents, and then the window.
void collectPostOrderLocked(HWND hwnd, std::vector<HWND> &out)
{
  for (HWND child : childrenInOrderLocked(hwnd, true))
    collectPostOrderLocked(child, out);
  out.push_back(hwnd);
}

} // namespace

WindowSystem &windowSystem()
{
  // Never destroyed: threads that end during exit still release their windows.
  static WindowSystem *ws = new WindowSystem;
  return *ws;
}

Window *findWindowLocked(HWND hwnd)
{
  WindowSlot *slot = slotOfLocked(hwnd);
  return slot ? slot->local.get() : nullptr;
}

RemoteWindow *findRemoteLocked(HWND hwnd)
{
  WindowSlot *slot = slotOfLocked(hwnd);
  return slot ? slot->remote.get() : nullptr;
}

bool isSelfOrDescendantLocked(HWND hwnd, HWND filter)
{
  for (Window *w = findWindowLocked(hwnd); w; w = findWindowLocked(w->parent))
    if (w->handle == filter)
      return true;
  return false;
}

bool windowFilterMatchesLocked(HWND filter, HWND hwnd)
{
  if (!filter)
    return true;
  if (filter == reinterpret_cast<HWND>(-1))
    return hwnd == nullptr;
  return hwnd && isSelfOrDescendantLocked(hwnd, filter);
}

bool isWindowOfQueue(HWND hwnd, const ThreadQueue &q)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  Window *w = findWindowLocked(hwnd);
  return w && w->queue.get() == &q;
}

LRESULT callWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  WNDPROC proc;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hwnd);
    if (!w)
      return 0;
    proc = w->proc;
  }
  return proc(hwnd, message, wParam, lParam);
}

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                     int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam)
{
  ensureSystemClasses();
  std::shared_ptr<ThreadQueue> q = currentQueue();
  HWND hwnd;
  std::u16string className;
  // A picture static's name is a resource number, not a title.
  std::u16string title = lpWindowName && !IS_INTRESOURCE(lpWindowName) ? std::u16string(lpWindowName)
                                                                       : std::u16string();
  const bool child = (dwStyle & WS_CHILD) != 0;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    WindowClass *cls = findClassLocked(lpClassName);
    if (!cls)
      return nullptr;
    Window *relative = hWndParent ? findWindowLocked(hWndParent) : nullptr;
    if ((child && !relative) || (hWndParent && !relative) || (relative && relative->destroying))
      return nullptr;
    WindowSlot *slot;
    hwnd = allocateSlotLocked(&slot);
    if (!hwnd)
      return nullptr;
    auto w = std::make_unique<Window>();
    w->handle = hwnd;
    w->cls = cls;
    w->title = title;
    w->proc = cls->wc.lpfnWndProc;
    w->style = dwStyle;
    w->exStyle = dwExStyle;
    w->parent = child ? hWndParent : nullptr;
    w->owner = child ? nullptr : hWndParent;
    w->instance = hInstance;
    w->id = child ? reinterpret_cast<LONG_PTR>(hMenu) : 0;
    w->extra.assign(static_cast<std::size_t>(cls->wc.cbWndExtra), 0);
    w->queue = q;
    w->serial = ws.nextSerial++;
    w->popup = cls->popupClass;
    w->rect = RECT{x == CW_USEDEFAULT ? 0 : x, y == CW_USEDEFAULT ? 0 : y, 0, 0};
    w->rect.right = w->rect.left + (nWidth == CW_USEDEFAULT || nWidth < 0 ? 0 : nWidth);
    w->rect.bottom = w->rect.top + (nHeight == CW_USEDEFAULT || nHeight < 0 ? 0 : nHeight);
    if (!child && (dwStyle & WS_VISIBLE))
      raiseLocked(hwnd);
    slot->local = std::move(w);
    ++cls->liveWindows;
    className = cls->name;
  }

  CREATESTRUCTW cs{lpParam, hInstance, hMenu,  hWndParent, nHeight,    nWidth,
                   y,       x,         static_cast<LONG>(dwStyle), lpWindowName, lpClassName, dwExStyle};
  if (!callWindowProc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    callWindowProc(hwnd, WM_NCDESTROY, 0, 0);
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    freeSlotLocked(hwnd);
    return nullptr;
  }
  if (callWindowProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  // WM_CREATE may have destroyed the window itself.
  if (!isWindowOfQueue(hwnd, *q))
    return nullptr;
  if (!child && !title.empty())
    channelPublish(*q, hwnd, className, title);
  return hwnd;
}

BOOL DestroyWindow(HWND hWnd)
{
  std::shared_ptr<ThreadQueue> q = currentQueue();
  std::vector<HWND> owned;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    Window *w = findWindowLocked(hWnd);
    if (!w || w->queue != q || w->destroying)
      return FALSE;
    w->destroying = true;
    for (const WindowSlot &slot : ws.slots)
      if (slot.local && slot.local->owner == hWnd && !slot.local->destroying)
        owned.push_back(slot.local->handle);
  }
  for (HWND o : owned)
    DestroyWindow(o);

  std::vector<HWND> subtree;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    collectSubtreeLocked(hWnd, subtree);
    for (HWND h : subtree)
      findWindowLocked(h)->destroying = true;
  }
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    for (HWND h : subtree)
      dropFromZOrderLocked(h);
  }
  for (HWND h : subtree) {
    forgetFocusOf(*q, h);
    channelUnpublish(*q, h);
    killWindowTimers(*q, h);
    trayForgetWindow(h);
  }
  markScreenDirty();
  for (HWND h : subtree)
    callWindowProc(h, WM_DESTROY, 0, 0);

  std::vector<HWND> postOrder;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    collectPostOrderLocked(hWnd, postOrder);
  }
  for (HWND h : postOrder) {
    callWindowProc(h, WM_NCDESTROY, 0, 0);
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    freeSlotLocked(h);
  }
  return TRUE;
}

std::vector<HWND> childWindows(HWND hwnd)
{
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  return childrenInOrderLocked(hwnd, false);
}

void releaseThreadWindows(ThreadQueue &q)
{
  std::vector<HWND> mine;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    for (const WindowSlot &slot : ws.slots)
      if (slot.local && slot.local->queue.get() == &q)
        mine.push_back(slot.local->handle);
  }
  for (HWND h : mine) {
    channelUnpublish(q, h);
    trayForgetWindow(h);
  }
  q.timers.clear();
  q.focus = nullptr;
  q.active = nullptr;
  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  for (HWND h : mine) {
    dropFromZOrderLocked(h);
    freeSlotLocked(h);
  }
}

BOOL IsWindow(HWND hWnd)
{
  RemoteWindow remote;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    if (findWindowLocked(hWnd))
      return TRUE;
    RemoteWindow *r = findRemoteLocked(hWnd);
    if (!r)
      return FALSE;
    remote = *r;
  }
  return channelListening(remote) ? TRUE : FALSE;
}

HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName)
{
  std::u16string className;
  {
    WindowSystem &ws = windowSystem();
    std::lock_guard<std::mutex> guard(ws.lock);
    if (lpClassName && IS_INTRESOURCE(lpClassName)) {
      WindowClass *cls = findClassLocked(lpClassName);
      if (!cls)
        return nullptr;
      className = cls->name;
    } else if (lpClassName) {
      className = lpClassName;
    }
    for (const WindowSlot &slot : ws.slots) {
      const Window *w = slot.local.get();
      if (!w || w->destroying || (w->style & WS_CHILD))
        continue;
      if (lpClassName && wstrICmp(w->cls->name, className) != 0)
        continue;
      if (lpWindowName && wstrICmp(w->title, std::u16string_view(lpWindowName)) != 0)
        continue;
      return w->handle;
    }
  }
  if (!lpClassName || !lpWindowName)
    return nullptr;
  std::u16string title(lpWindowName);
  std::optional<std::filesystem::path> socket = channelFind(className, title);
  if (!socket)
    return nullptr;

  WindowSystem &ws = windowSystem();
  std::lock_guard<std::mutex> guard(ws.lock);
  for (std::uint32_t i = 1; i < ws.slots.size(); ++i)
    if (ws.slots[i].remote && ws.slots[i].remote->socket == *socket)
      return makeHandle(i, ws.slots[i].generation);
  WindowSlot *slot;
  HWND hwnd = allocateSlotLocked(&slot);
  if (hwnd)
    slot->remote = std::make_unique<RemoteWindow>(RemoteWindow{*socket, className, title});
  return hwnd;
}
