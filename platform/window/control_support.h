// Inside the window system: what the controls share. A control keeps its
// state in a heap record whose pointer sits in its first extra window bytes,
// made at WM_NCCREATE and freed at WM_NCDESTROY.
#pragma once

#include "platform/window/canvas.h"
#include "platform/window/controls.h"
#include "platform/window/display.h"

#include <algorithm>
#include <string>

// The state record of a control of type T, or null.
template <typename T>
T *controlState(HWND hwnd)
{
  return reinterpret_cast<T *>(GetWindowLongPtrW(hwnd, 0));
}

// Handles the state record's life: makes it at WM_NCCREATE, frees it at
// WM_NCDESTROY. Returns the record (null after WM_NCDESTROY).
template <typename T>
T *controlLifetime(HWND hwnd, UINT message)
{
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new T));
  } else if (message == WM_NCDESTROY) {
    delete controlState<T>(hwnd);
    SetWindowLongPtrW(hwnd, 0, 0);
    return nullptr;
  }
  return controlState<T>(hwnd);
}

// Sends the parent WM_COMMAND with the control's id and a notification code.
void notifyCommand(HWND control, WORD code);
// Sends the parent WM_NOTIFY with hdr (its hwndFrom and idFrom are filled in).
LRESULT notifyParent(HWND control, NMHDR *hdr);

// The window's title as text.
std::u16string windowText(HWND hwnd);

// One line of text that is edited: the edit control and a combo box's edit
// field. The caret is an index into text.
struct EditLine {
  std::u16string text;   // the text
  std::size_t caret = 0; // where typing goes; one end of the selection
  std::size_t anchor = 0; // the selection's other end; the caret when none
  std::size_t scroll = 0; // first unit shown (auto horizontal scroll)
  std::size_t limit = EDIT_DEFAULT_LIMIT; // most units

  // Replaces the text; the caret goes to its end, nothing is selected.
  void set(std::u16string_view s);
  // EM_SETSEL: selects from start to end (-1: the end of the text), the
  // caret at end; a start of -1 only takes the selection away.
  void select(LONG_PTR start, LONG_PTR end);
  // The selected units: from the first to just after the last; equal when
  // nothing is selected.
  std::size_t selectionStart() const { return std::min({anchor, caret, text.size()}); }
  std::size_t selectionEnd() const { return std::min(std::max(anchor, caret), text.size()); }
  // Caret keys (left, right, home, end, delete); a caret key takes the
  // selection away. True when the text changed.
  bool key(WPARAM vk, bool *handled);
  // A character typed: printable ones replace the selection or are
  // inserted, backspace deletes the selection or the unit before the
  // caret. True when the text changed.
  bool character(WCHAR ch);
  // Draws the visible part in cells, scrolling so that the caret shows; sets
  // the canvas caret when focused.
  void paint(Canvas &canvas, int col, int row, int width, BYTE attr, bool focused);
};
