// How the rule editor's form fits its screen: the boxes widened to the
// dialog's width, the form scrolled vertically when it is taller than the
// dialog, and the control with the keyboard focus kept in view.
#pragma once

#include "platform/base/types.h"

// One open editor's view of its form.
struct EditorView {
  int scrollPos = 0;           // how far the form is scrolled up, in pixels
  HWND lastFocus = nullptr;    // the last control seen with the keyboard focus
  bool tracking = false;       // set while a focus change is being brought into view
};

// Widens the boxes to the dialog's right edge and moves the "..." buttons there.
void layoutRuleEditor(HWND editor);

// Sets the scroll bar's range from where the form ends now, keeping the
// form's current offset (clamped to the new range).
void setRuleEditorScrollRange(HWND editor, EditorView &view);

// Carries out a WM_VSCROLL request (wParam as the message has it).
void scrollRuleEditor(HWND editor, EditorView &view, WPARAM request);

// Scrolls so that the control that has just taken the keyboard focus lies
// within the dialog, 5 pixels from its edge.
void trackRuleEditorFocus(HWND editor, EditorView &view);
