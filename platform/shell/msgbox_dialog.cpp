// The message box as a full-screen dialog: the text, wrapped, and one push
// button per answer.
#include "platform/shell/msgbox_dialog.h"

#include "platform/shell/msgbox.h"
#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/display.h"

#include <iterator>

namespace {

constexpr WORD TEXT_ID = 100;
constexpr DWORD BUTTON = WS_TABSTOP | BS_PUSHBUTTON;

// Layouts by button set: text above, the buttons on the last row.
const DialogItemTemplate OK_ITEMS[] = {
    {WC_STATICW, nullptr, TEXT_ID, SS_LEFT, 0, 2, 2, 132, 110},
    {WC_BUTTONW, u"OK", IDOK, BUTTON, 0, 48, 120, 40, 13},
};
const DialogItemTemplate OK_CANCEL_ITEMS[] = {
    {WC_STATICW, nullptr, TEXT_ID, SS_LEFT, 0, 2, 2, 132, 110},
    {WC_BUTTONW, u"OK", IDOK, BUTTON, 0, 20, 120, 40, 13},
    {WC_BUTTONW, u"Cancel", IDCANCEL, BUTTON, 0, 76, 120, 40, 13},
};
const DialogItemTemplate YES_NO_ITEMS[] = {
    {WC_STATICW, nullptr, TEXT_ID, SS_LEFT, 0, 2, 2, 132, 110},
    {WC_BUTTONW, u"Yes", IDYES, BUTTON, 0, 20, 120, 40, 13},
    {WC_BUTTONW, u"No", IDNO, BUTTON, 0, 76, 120, 40, 13},
};

struct Box {
  LPCWSTR text;     // the message
  int escapeAnswer; // what Escape (a close request) answers
};

INT_PTR boxProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case WM_INITDIALOG: {
    const auto *box = reinterpret_cast<const Box *>(lParam);
    SetWindowLongPtrW(dlg, GWLP_USERDATA, box->escapeAnswer);
    SHINITDLGINFO info{SHIDIM_FLAGS, dlg, SHIDIF_SIZEDLGFULLSCREEN};
    SHInitDialog(&info);
    SetDlgItemTextW(dlg, TEXT_ID, box->text);
    return TRUE;
  }
  case WM_COMMAND:
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
    case IDYES:
    case IDNO:
      if (GetDlgItem(dlg, LOWORD(wParam)))
        EndDialog(dlg, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
    }
  case WM_CLOSE:
    EndDialog(dlg, GetWindowLongPtrW(dlg, GWLP_USERDATA));
    return TRUE;
  default:
    return FALSE;
  }
}

} // namespace

int messageBoxDialog(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
  if (!displayAvailableHere())
    return 0;
  DialogTemplate tpl{0, WS_POPUP | WS_CAPTION, 0, 0, 0, 136, 140, nullptr, caption ? caption : u"",
                     u"System", 8, OK_ITEMS, std::size(OK_ITEMS)};
  Box box{text ? text : u"", IDOK};
  switch (type & 0x0F) {
  case MB_OKCANCEL:
    tpl.items = OK_CANCEL_ITEMS;
    tpl.itemCount = std::size(OK_CANCEL_ITEMS);
    box.escapeAnswer = IDCANCEL;
    break;
  case MB_YESNO:
    tpl.items = YES_NO_ITEMS;
    tpl.itemCount = std::size(YES_NO_ITEMS);
    box.escapeAnswer = IDNO;
    break;
  default:
    break;
  }
  INT_PTR answer = DialogBoxIndirectParamW(nullptr, &tpl, owner, boxProc, reinterpret_cast<LPARAM>(&box));
  if (answer < 0)
    return 0;
  // The program is ending (WM_QUIT ended the box): the close request's answer.
  return answer == 0 ? box.escapeAnswer : static_cast<int>(answer);
}
