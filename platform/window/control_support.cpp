// What the controls share: notifying the parent, and the edited line.
#include "platform/window/control_support.h"

#include <algorithm>

void notifyCommand(HWND control, WORD code)
{
  const int id = GetDlgCtrlID(control);
  SendMessageW(GetParent(control), WM_COMMAND, static_cast<WPARAM>((code << 16) | (id & 0xFFFF)),
               reinterpret_cast<LPARAM>(control));
}

LRESULT notifyParent(HWND control, NMHDR *hdr)
{
  hdr->hwndFrom = control;
  hdr->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  return SendMessageW(GetParent(control), WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr));
}

std::u16string windowText(HWND hwnd)
{
  int n = GetWindowTextLengthW(hwnd);
  std::u16string s(static_cast<std::size_t>(n) + 1, u'\0');
  int got = GetWindowTextW(hwnd, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(std::max(got, 0)));
  return s;
}

void EditLine::set(std::u16string_view s)
{
  text.assign(s.substr(0, std::min(s.size(), limit)));
  caret = text.size();
  scroll = 0;
}

bool EditLine::key(WPARAM vk, bool *handled)
{
  *handled = true;
  switch (vk) {
  case VK_LEFT:
    if (caret > 0)
      --caret;
    return false;
  case VK_RIGHT:
    if (caret < text.size())
      ++caret;
    return false;
  case VK_HOME:
    caret = 0;
    return false;
  case VK_END:
    caret = text.size();
    return false;
  case VK_DELETE:
    if (caret < text.size()) {
      text.erase(caret, 1);
      return true;
    }
    return false;
  default:
    *handled = false;
    return false;
  }
}

bool EditLine::character(WCHAR ch)
{
  if (ch == 0x08) {
    if (caret == 0)
      return false;
    text.erase(--caret, 1);
    return true;
  }
  if (ch < 0x20 || ch == 0x7F || text.size() >= limit)
    return false;
  text.insert(caret++, 1, ch);
  return true;
}

void EditLine::paint(Canvas &canvas, int col, int row, int width, BYTE attr, bool focused)
{
  if (width <= 0)
    return;
  caret = std::min(caret, text.size());
  if (caret < scroll)
    scroll = caret;
  if (caret >= scroll + static_cast<std::size_t>(width))
    scroll = caret - static_cast<std::size_t>(width) + 1;
  for (int i = 0; i < width; ++i)
    canvas.put(col + i, row, U' ', attr);
  canvas.text(col, row, std::u16string_view(text).substr(std::min(scroll, text.size())), width, attr);
  if (focused) {
    canvas.caretCol = col + static_cast<int>(caret - scroll);
    canvas.caretRow = row;
  }
}
