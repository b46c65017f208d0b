// The layout helpers the dialogs use when they are sized. Positions and
// sizes are in pixels; rectangles are the windows' screen rectangles, and
// widths and heights are counted inclusively (right - left + 1), as the
// dialogs' layout code expects: placeControl and resizeControl take one off
// again when they size a control.
#pragma once

#include "platform/base/types.h"

int windowTop(HWND window);
int windowBottom(HWND window);
int windowWidth(HWND window);  // right - left + 1
int windowHeight(HWND window); // bottom - top + 1

// The control's top less the dialog's top, less 1.
int controlTopOffset(HWND dialog, int controlId);
int controlBottom(HWND dialog, int controlId);
int controlWidth(HWND dialog, int controlId);  // right - left + 1
int controlHeight(HWND dialog, int controlId); // bottom - top + 1

// Moves and sizes a control of the dialog and repaints it. A negative x or
// y counts from the dialog's right or bottom edge; a negative width or
// height ends the control that many pixels before the dialog's right or
// bottom edge; 0 keeps the control's own width or height. The control gets
// width - 1 and height - 1 pixels at (x, y) of the dialog's client area.
void placeControl(HWND dialog, int controlId, int x, int y, int width, int height);
// Sizes a control where it is (width and height as for placeControl).
void resizeControl(HWND dialog, int controlId, int width, int height);

// Brings a dialog to the front as a full-screen shell dialog with a Done
// button, the softkey bar of the given menu resource, and the input-panel
// child that keeps the panel's state.
void showFullScreenDialog(HWND dialog, UINT menuId);
