// The controls that dialogs are made of: static, button (push button and
// check box), edit, combo box and list view (report view), with the
// messages and notifications the program uses. Each is a window class of
// the window system, registered before the first window is created.
//
// Names and values are the handheld's; differences are in docs/window.md.
#pragma once

#include "platform/window/dialog.h"

// Class names.
#define WC_STATICW u"STATIC"
#define WC_BUTTONW u"BUTTON"
#define WC_EDITW u"EDIT"
#define WC_COMBOBOXW u"COMBOBOX"
#define WC_LISTVIEWW u"SysListView32"

// ---- Static -------------------------------------------------------------------
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD SS_ICON = 0x0003;
constexpr DWORD SS_BITMAP = 0x000E;
constexpr DWORD SS_TYPEMASK = 0x001F;
constexpr DWORD SS_NOTIFY = 0x0100;     // a tap sends STN_CLICKED
constexpr WORD STN_CLICKED = 0;

// ---- Button -------------------------------------------------------------------
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD BS_CHECKBOX = 0x0002;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD BS_TYPEMASK = 0x000F;
constexpr DWORD BS_NOTIFY = 0x4000;     // also BN_SETFOCUS and BN_KILLFOCUS
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr WORD BN_CLICKED = 0;
constexpr WORD BN_SETFOCUS = 6;
constexpr WORD BN_KILLFOCUS = 7;

// ---- Edit ---------------------------------------------------------------------
constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_LIMITTEXT = 0x00C5;
constexpr WORD EN_SETFOCUS = 0x0100;
constexpr WORD EN_KILLFOCUS = 0x0200;
constexpr WORD EN_CHANGE = 0x0300;
// Longest text of an edit control or a combo box's edit field unless
// EM_LIMITTEXT sets another limit.
constexpr int EDIT_DEFAULT_LIMIT = 30000;

// ---- Combo box ----------------------------------------------------------------
constexpr DWORD CBS_DROPDOWN = 0x0002;      // editable
constexpr DWORD CBS_DROPDOWNLIST = 0x0003;  // choose only
constexpr DWORD CBS_TYPEMASK = 0x0003;
constexpr DWORD CBS_AUTOHSCROLL = 0x0040;
constexpr DWORD CBS_SORT = 0x0100;
constexpr UINT CB_LIMITTEXT = 0x0141;
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_DELETESTRING = 0x0144;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_GETLBTEXT = 0x0148;
constexpr UINT CB_GETLBTEXTLEN = 0x0149;
constexpr UINT CB_INSERTSTRING = 0x014A;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_FINDSTRING = 0x014C;
constexpr UINT CB_SELECTSTRING = 0x014D;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr UINT CB_SHOWDROPDOWN = 0x014F;
constexpr UINT CB_GETITEMDATA = 0x0150;
constexpr UINT CB_SETITEMDATA = 0x0151;
constexpr UINT CB_GETDROPPEDSTATE = 0x0157;
constexpr UINT CB_FINDSTRINGEXACT = 0x0158;
constexpr LRESULT CB_ERR = -1;
constexpr WORD CBN_SELCHANGE = 1;
constexpr WORD CBN_SETFOCUS = 3;
constexpr WORD CBN_KILLFOCUS = 4;
constexpr WORD CBN_EDITCHANGE = 5;
constexpr WORD CBN_DROPDOWN = 7;
constexpr WORD CBN_CLOSEUP = 8;

// ---- List view ----------------------------------------------------------------
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr DWORD LVS_NOSORTHEADER = 0x8000;
constexpr DWORD LVS_EX_CHECKBOXES = 0x00000004;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x00000020;

constexpr UINT LVM_FIRST = 0x1000;
constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;
constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 12;
constexpr UINT LVM_ENSUREVISIBLE = LVM_FIRST + 19;
constexpr UINT LVM_REDRAWITEMS = LVM_FIRST + 21;
constexpr UINT LVM_DELETECOLUMN = LVM_FIRST + 28;
constexpr UINT LVM_GETCOLUMNWIDTH = LVM_FIRST + 29;
constexpr UINT LVM_SETCOLUMNWIDTH = LVM_FIRST + 30;
constexpr UINT LVM_GETTOPINDEX = LVM_FIRST + 39;
constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;
constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;
constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55;
constexpr UINT LVM_GETITEMW = LVM_FIRST + 75;
constexpr UINT LVM_SETITEMW = LVM_FIRST + 76;
constexpr UINT LVM_INSERTITEMW = LVM_FIRST + 77;
constexpr UINT LVM_INSERTCOLUMNW = LVM_FIRST + 97;
constexpr UINT LVM_GETITEMTEXTW = LVM_FIRST + 115;
constexpr UINT LVM_SETITEMTEXTW = LVM_FIRST + 116;
constexpr UINT LVM_GETSELECTIONMARK = LVM_FIRST + 66;
constexpr UINT LVM_SETSELECTIONMARK = LVM_FIRST + 67;

// LVITEMW.mask
constexpr UINT LVIF_TEXT = 0x0001;
constexpr UINT LVIF_IMAGE = 0x0002;
constexpr UINT LVIF_PARAM = 0x0004;
constexpr UINT LVIF_STATE = 0x0008;
// Item states.
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVIS_STATEIMAGEMASK = 0xF000;
constexpr UINT INDEXTOSTATEIMAGEMASK(UINT i) { return i << 12; }
// LVM_GETNEXTITEM flags.
constexpr UINT LVNI_ALL = 0x0000;
constexpr UINT LVNI_FOCUSED = 0x0001;
constexpr UINT LVNI_SELECTED = 0x0002;
// LVCOLUMNW.mask and formats.
constexpr UINT LVCF_FMT = 0x0001;
constexpr UINT LVCF_WIDTH = 0x0002;
constexpr UINT LVCF_TEXT = 0x0004;
constexpr UINT LVCF_SUBITEM = 0x0008;
constexpr int LVCFMT_LEFT = 0x0000;

// Notifications.
constexpr UINT LVN_FIRST = static_cast<UINT>(-100);
constexpr UINT LVN_ITEMCHANGED = LVN_FIRST - 1;
constexpr UINT LVN_DELETEALLITEMS = LVN_FIRST - 4;

struct LVITEMW {
  UINT mask;        // LVIF_*: which fields are given or wanted
  int iItem;        // item index
  int iSubItem;     // column (0: the item itself)
  UINT state;       // LVIS_* state and the state image (bits 12-15)
  UINT stateMask;   // which state bits are given or wanted
  LPWSTR pszText;   // text, or the buffer that receives it
  int cchTextMax;   // the buffer's size in units
  int iImage;       // image index (kept, not drawn)
  LPARAM lParam;    // the item's data
};
using LPLVITEMW = LVITEMW *;

struct LVCOLUMNW {
  UINT mask;        // LVCF_*
  int fmt;          // LVCFMT_*
  int cx;           // width in pixels
  LPWSTR pszText;   // heading
  int cchTextMax;   // buffer size when reading
  int iSubItem;     // the column's subitem
};
using LPLVCOLUMNW = LVCOLUMNW *;

// LVN_ITEMCHANGED (and LVN_DELETEALLITEMS) lParam.
struct NMLISTVIEW {
  NMHDR hdr;        // the header
  int iItem;        // the item, -1 for none
  int iSubItem;     // 0
  UINT uNewState;   // the item's whole state after the change
  UINT uOldState;   // its whole state before
  UINT uChanged;    // LVIF_STATE (or LVIF_TEXT / LVIF_PARAM)
  POINT ptAction;   // 0,0
  LPARAM lParam;    // the item's data
};
using LPNMLISTVIEW = NMLISTVIEW *;

// NM_CLICK and NM_DBLCLK lParam.
struct NMITEMACTIVATE {
  NMHDR hdr;        // the header
  int iItem;        // the item tapped, -1 when below the last
  int iSubItem;     // 0
  UINT uNewState;   // its state
  UINT uOldState;   // its state
  UINT uChanged;    // 0
  POINT ptAction;   // where, in the list view's client pixels
  LPARAM lParam;    // 0
  UINT uKeyFlags;   // 0
};
using LPNMITEMACTIVATE = NMITEMACTIVATE *;

// Common controls' start-up call: the classes are always there; TRUE.
BOOL InitCommonControls();
