#include "ui/rule_editor_view.h"

#include "platform/window/dialog.h"
#include "platform/window/display.h"
#include "platform/window/window.h"
#include "ui/layout.h"
#include "ui/resources/resource_ids.h"

#include <algorithm>

namespace {

constexpr int RIGHT_MARGIN = 15;  // boxes end this far before the right edge
constexpr int BUTTON_MARGIN = 16; // the "..." buttons end this far before it
constexpr int SCROLL_PAGE = 10;   // one line or page step
constexpr int FOCUS_MARGIN = 5;   // room left around a control brought into view

// The screen draws the form in lines of this many pixels, each control on
// the line nearest its place. The form moves by whole lines only: moved by
// part of one, two rows less than a line apart (as "Read" and "Move to:"
// are) could land on one line, one drawn over the other.
constexpr int SCROLL_LINE = DISPLAY_CELL_HEIGHT;

int lineAbove(int position)
{
  return position / SCROLL_LINE * SCROLL_LINE;
}

int lineBelow(int position)
{
  return lineAbove(position + SCROLL_LINE - 1);
}

// Puts a "..." button at the right edge and lets its edit box end at it.
void placePicker(HWND editor, int button, int edit)
{
  const int width = controlWidth(editor, button);
  placeControl(editor, button, -width - BUTTON_MARGIN, controlTopOffset(editor, button), 0, 0);
  resizeControl(editor, edit, -width - BUTTON_MARGIN, 0);
}

// Scrolls the form to position target (clamped as the thumb requests are).
void scrollTo(HWND editor, int target)
{
  SendMessageW(editor, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(target)), 1);
}

} // namespace

void layoutRuleEditor(HWND editor)
{
  for (int id : {IDC_RULE_MAILBOX, IDC_RULE_FROM, IDC_RULE_TO, IDC_RULE_SUBJECT, IDC_RULE_HAS_ATTACH, IDC_RULE_MOVE_TO})
    resizeControl(editor, id, -RIGHT_MARGIN, 0);
  placePicker(editor, IDC_RULE_SOUND_PICK, IDC_RULE_SOUND);
  placePicker(editor, IDC_RULE_EXECUTE_PICK, IDC_RULE_EXECUTE);
  resizeControl(editor, IDC_RULE_DOWNLOAD, -RIGHT_MARGIN, 0);
  resizeControl(editor, IDC_RULE_MARK_AS_READ, -RIGHT_MARGIN, 0);
}

void setRuleEditorScrollRange(HWND editor, EditorView &view)
{
  // The form's end as it would lie unscrolled; a form that fits has
  // nothing to scroll (the range is never negative, so no request can move
  // the form below its place).
  const int maximum =
      lineBelow(std::max(0, controlBottom(editor, IDC_RULE_MARK_AS_READ) + view.scrollPos - windowBottom(editor)));
  if (view.scrollPos > maximum)
    scrollTo(editor, maximum);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = maximum;
  info.nPage = SCROLL_PAGE;
  info.nPos = view.scrollPos;
  SetScrollInfo(editor, SB_VERT, &info, TRUE);
}

void scrollRuleEditor(HWND editor, EditorView &view, WPARAM request)
{
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE;
  if (!GetScrollInfo(editor, SB_VERT, &info))
    return;
  const int page = static_cast<int>(info.nPage);
  const int p = view.scrollPos;
  int q = p;
  switch (LOWORD(request)) {
  case SB_LINEUP:
  case SB_PAGEUP:
    q = p - 2 * page >= info.nMin ? p - page : info.nMin;
    break;
  case SB_LINEDOWN:
  case SB_PAGEDOWN:
    q = p + 2 * page <= info.nMax ? p + page : info.nMax;
    break;
  case SB_THUMBPOSITION:
  case SB_THUMBTRACK:
    q = HIWORD(request);
    if (q - page < info.nMin)
      q = info.nMin;
    if (q + page > info.nMax)
      q = info.nMax;
    break;
  case SB_TOP:
    q = info.nMin;
    break;
  case SB_BOTTOM:
    q = info.nMax;
    break;
  default:
    break;
  }
  // Whole lines, further in the direction asked: a control brought into
  // view stays in view.
  q = q > p ? std::min(lineBelow(q), static_cast<int>(info.nMax)) : std::max(lineAbove(q), static_cast<int>(info.nMin));
  ScrollWindowEx(editor, 0, p - q, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
  view.scrollPos = q;
  SCROLLINFO position{};
  position.cbSize = sizeof position;
  position.fMask = SIF_POS;
  position.nPos = q;
  SetScrollInfo(editor, SB_VERT, &position, TRUE);
  UpdateWindow(editor);
}

void trackRuleEditorFocus(HWND editor, EditorView &view)
{
  HWND focus = GetFocus();
  if (view.tracking || !focus || focus == view.lastFocus)
    return;
  view.lastFocus = focus;
  view.tracking = true;
  RECT place{};
  GetWindowRect(focus, &place);
  const int top = windowTop(editor);
  const int height = windowHeight(editor);
  if (place.top < top)
    scrollTo(editor, std::max(0, view.scrollPos + place.top - top - FOCUS_MARGIN));
  else if (place.bottom > top + height)
    scrollTo(editor, view.scrollPos + place.bottom - height - top + FOCUS_MARGIN);
  view.tracking = false;
}
