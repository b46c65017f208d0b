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
  caret = anchor = text.size();
  scroll = 0;
}

void EditLine::select(LONG_PTR start, LONG_PTR end)
{
  auto clamp = [&](LONG_PTR at) {
    return at < 0 ? text.size() : std::min(static_cast<std::size_t>(at), text.size());
  };
  caret = std::min(caret, text.size());
  if (start < 0) {
    anchor = caret;
    return;
  }
  anchor = clamp(start);
  caret = clamp(end);
}

namespace {

// Takes the selected units out; true when there were some.
bool eraseSelection(EditLine &e)
{
  std::size_t from = e.selectionStart(), to = e.selectionEnd();
  e.caret = e.anchor = from;
  if (from == to)
    return false;
  e.text.erase(from, to - from);
  return true;
}

} // namespace

bool EditLine::key(WPARAM vk, bool *handled)
{
  *handled = true;
  caret = std::min(caret, text.size());
  switch (vk) {
  case VK_LEFT:
    if (caret > 0)
      --caret;
    break;
  case VK_RIGHT:
    if (caret < text.size())
      ++caret;
    break;
  case VK_HOME:
    caret = 0;
    break;
  case VK_END:
    caret = text.size();
    break;
  case VK_DELETE:
    if (eraseSelection(*this))
      return true;
    if (caret < text.size()) {
      text.erase(caret, 1);
      return true;
    }
    return false;
  default:
    *handled = false;
    return false;
  }
  anchor = caret;
  return false;
}

bool EditLine::character(WCHAR ch)
{
  if (ch == 0x08) {
    if (eraseSelection(*this))
      return true;
    if (caret == 0)
      return false;
    text.erase(--caret, 1);
    anchor = caret;
    return true;
  }
  if (ch < 0x20 || ch == 0x7F)
    return false;
  bool erased = eraseSelection(*this);
  if (text.size() >= limit)
    return erased;
  text.insert(caret++, 1, ch);
  anchor = caret;
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
  std::u16string_view shown = std::u16string_view(text).substr(std::min(scroll, text.size()));
  canvas.text(col, row, shown, width, attr);
  // The selection stands out from the focused field, as a list's chosen
  // line does; unfocused, it is not shown.
  std::size_t from = std::max(selectionStart(), scroll);
  std::size_t to = std::min(selectionEnd(), scroll + static_cast<std::size_t>(width));
  if (focused && from < to)
    canvas.text(col + static_cast<int>(from - scroll), row, std::u16string_view(text).substr(from, to - from),
                static_cast<int>(to - from), static_cast<BYTE>((attr & ~CELL_FOCUS) | CELL_SELECTED));
  if (focused) {
    canvas.caretCol = col + static_cast<int>(caret - scroll);
    canvas.caretRow = row;
  }
}
