// The window system: window classes, windows and their procedures, a message
// queue per thread, posted and sent messages, the message loop and timers.
// A top-level window with a class and a title can also be found and reached
// by other processes of the same user (FindWindowW, PostMessageW,
// SendMessageW with WM_COPYDATA's bytes).
//
// Names and values are the handheld's. Where this differs from it, the
// difference is written down in docs/window.md.
#pragma once

#include "platform/base/types.h"

using ATOM = WORD;

// A window procedure.
using WNDPROC = LRESULT (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// A timer callback: called by DispatchMessageW for a timer set with one.
using TIMERPROC = void (*)(HWND hwnd, UINT message, UINT_PTR idEvent, DWORD time);
// A dialog procedure.
using DLGPROC = INT_PTR (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

struct POINT {
  LONG x; // horizontal position in pixels
  LONG y; // vertical position in pixels
};

// A rectangle in pixels; right and bottom lie just outside it.
struct RECT {
  LONG left;   // left edge
  LONG top;    // top edge
  LONG right;  // one past the right edge
  LONG bottom; // one past the bottom edge
};
using LPRECT = RECT *;

// A scroll bar's state (SetScrollInfo, GetScrollInfo).
struct SCROLLINFO {
  UINT cbSize;    // sizeof(SCROLLINFO)
  UINT fMask;     // SIF_*: which fields are given or wanted
  int nMin;       // smallest position
  int nMax;       // largest position
  UINT nPage;     // page size
  int nPos;       // position
  int nTrackPos;  // position while the thumb is dragged (read only; = nPos here)
};
using LPSCROLLINFO = SCROLLINFO *;
using LPCSCROLLINFO = const SCROLLINFO *;

// A message as the queue hands it out.
struct MSG {
  HWND hwnd;     // the window it is for; null for a message to the thread
  UINT message;  // the message number
  WPARAM wParam; // first parameter
  LPARAM lParam; // second parameter
  DWORD time;    // tick count when it was posted (or generated, for timers)
  POINT pt;      // pointer position then; always 0,0 (no pointer device)
};

struct WNDCLASSW {
  UINT style;            // CS_* bits, kept for GetClassLong (none has an effect here)
  WNDPROC lpfnWndProc;   // the class's window procedure; required
  int cbClsExtra;        // extra class bytes: must be 0
  int cbWndExtra;        // extra window bytes, 0 to 40, read with GetWindowLongPtrW
  HINSTANCE hInstance;   // the module that registers the class
  HICON hIcon;           // class icon (kept, never drawn)
  HCURSOR hCursor;       // class cursor (kept, never drawn)
  HBRUSH hbrBackground;  // background brush (kept, never drawn)
  LPCWSTR lpszMenuName;  // class menu (not used)
  LPCWSTR lpszClassName; // the class name, 1 to 256 units, compared ignoring case
};

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CREATESTRUCTW {
  LPVOID lpCreateParams; // the last argument of CreateWindowExW
  HINSTANCE hInstance;   // the module argument
  HMENU hMenu;           // the menu, or a child window's id
  HWND hwndParent;       // parent (child window) or owner (top-level window)
  int cy;                // height as given
  int cx;                // width as given
  int y;                 // top as given
  int x;                 // left as given
  LONG style;            // WS_* style
  LPCWSTR lpszName;      // the title
  LPCWSTR lpszClass;     // the class name as given
  DWORD dwExStyle;       // extended style
};

// WM_COPYDATA's lParam: bytes handed to another window. The receiver gets a
// copy that is valid until its window procedure returns; it neither keeps nor
// frees it.
struct COPYDATASTRUCT {
  ULONG_PTR dwData; // a number of the sender's choosing
  DWORD cbData;     // size of lpData in bytes
  PVOID lpData;     // the bytes; may be null when cbData is 0
};
using PCOPYDATASTRUCT = COPYDATASTRUCT *;

// The halves of a message parameter, and parameters made of two halves.
constexpr WORD LOWORD(UINT_PTR v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(UINT_PTR v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>(static_cast<DWORD>(high) << 16 | low); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return static_cast<LPARAM>(static_cast<DWORD>(high) << 16 | low); }
// Signed pixel positions in a mouse message's or WM_CONTEXTMENU's lParam.
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<short>(LOWORD(static_cast<UINT_PTR>(lp))); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<short>(HIWORD(static_cast<UINT_PTR>(lp))); }

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// Keys that TranslateMessage turns into characters.
constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_SPACE = 0x20;
// Keys the display reports as WM_KEYDOWN and the controls act on.
constexpr WPARAM VK_SHIFT = 0x10;
constexpr WPARAM VK_PRIOR = 0x21;
constexpr WPARAM VK_NEXT = 0x22;
constexpr WPARAM VK_END = 0x23;
constexpr WPARAM VK_HOME = 0x24;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DOWN = 0x28;
constexpr WPARAM VK_DELETE = 0x2E;
constexpr WPARAM VK_APPS = 0x5D;
constexpr WPARAM VK_F1 = 0x70;
constexpr WPARAM VK_F2 = 0x71;
constexpr WPARAM VK_F10 = 0x79;
// WM_KEYDOWN's lParam bit that the display sets while Shift is held (the
// handheld reads the key state instead; there is none to read here).
constexpr LPARAM KF_SHIFT_HELD = 0x00010000;

// WM_SIZE's wParam.
constexpr WPARAM SIZE_RESTORED = 0;

// Class and window styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// GetWindowLongPtrW / SetWindowLongPtrW indices; 0 and up address the
// window's extra bytes.
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;

// PeekMessageW flags.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// SendMessageTimeoutW flags.
constexpr UINT SMTO_NORMAL = 0x0000;      // serve messages sent to this thread while waiting
constexpr UINT SMTO_BLOCK = 0x0001;       // serve nothing while waiting
constexpr UINT SMTO_ABORTIFHUNG = 0x0002; // accepted; a hung receiver ends the wait at the timeout anyway

// Timer periods are clamped to this range.
constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// ---- Classes and windows ----------------------------------------------------

// Registers a window class for this process. Returns its atom (0xC000 and
// up), or 0 when the record is incomplete (no procedure, no name, a name
// longer than 256 units, class bytes, more than 40 window bytes) or a class
// of that name exists.
ATOM RegisterClassW(const WNDCLASSW *lpWndClass);

// Removes a class. FALSE when there is no such class or a window of it still
// exists. hInstance is not compared: classes belong to the process.
BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);

// Creates a window of a registered class (name or MAKEINTRESOURCEW(atom)),
// owned by the calling thread. With WS_CHILD, hWndParent is its parent and
// must be a window; otherwise it is the owner (may be null) and the window is
// top-level. Sends WM_NCCREATE (FALSE fails the creation) and WM_CREATE (-1
// fails it and destroys the window), each with a CREATESTRUCTW. A top-level
// window with a non-empty title becomes reachable by other processes of the
// same user (docs/window.md). Null on failure.
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                     int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam);

// Destroys a window of the calling thread: first the windows it owns, then
// WM_DESTROY to it and to its children (parent first), then WM_NCDESTROY to
// the children and last to it. Its timers, tray icons and the messages still
// queued for it go with it. FALSE for a window of another thread, another
// process, or one already being destroyed.
BOOL DestroyWindow(HWND hWnd);

// TRUE for a window of this process that exists, and for a window of another
// process that still listens.
BOOL IsWindow(HWND hWnd);

// Reads one of the GWL* values or the window's extra bytes at a non-negative
// offset (a whole LONG_PTR must fit). 0 for a bad window or index.
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);

// Sets GWLP_WNDPROC, GWLP_USERDATA, GWLP_ID, GWL_STYLE, GWL_EXSTYLE or extra
// bytes; returns the previous value, 0 for a bad window or index (and
// nothing is set).
LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);

// The default processing: WM_CLOSE destroys the window, WM_NCCREATE answers
// TRUE; everything else answers 0.
LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Finds a top-level window by class and title, both compared ignoring case;
// null for either matches any. Windows of this process are searched first;
// when neither is null, a window of that class and title of another process
// of the same user (and the same data root) is found too. Null when none.
HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName);

// ---- Messages ---------------------------------------------------------------

// Queues a message for the window's thread and returns at once. A null hWnd
// queues it for the calling thread. FALSE for a bad window, a full queue
// (10000 messages), WM_COPYDATA (it can only be sent), or for another
// process a message that may not cross (docs/window.md).
BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Calls the window procedure and returns its result. A window of the calling
// thread is called directly; one of another thread gets the message on its
// own thread, while the caller waits and meanwhile handles messages sent to
// its own thread; one of another process likewise, over the window channel,
// giving up when the receiver has not picked it up within 10 seconds. 0 for
// a bad window, or when the message could not be delivered.
LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// SendMessageW with a limit on the whole wait, in milliseconds. Returns
// nonzero and stores the result in *lpdwResult (when not null) when the
// message was handled; 0 on time-out or failure. A window of the calling
// thread is called directly whatever the limit.
LRESULT SendMessageTimeoutW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                            UINT uTimeout, DWORD_PTR *lpdwResult);

// TRUE while the calling thread handles a message sent by another thread or
// process.
BOOL InSendMessage();

// Takes the next message of the calling thread, waiting for one. Messages
// sent to the thread are handled inside the call, first. Then, in order:
// posted messages (oldest first), the quit request, due timers. hWnd limits
// the posted and timer messages to that window and its children, (HWND)-1 to
// thread messages; wMsgFilterMin/Max to a range (both 0: all); the quit
// request ignores both limits. Returns 0 for WM_QUIT, -1 for a bad hWnd,
// otherwise nonzero. While the platform clock is frozen for a test, only
// PeekMessageW sees timers come due (clockAdvance does not wake a waiting
// thread).
BOOL GetMessageW(MSG *lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);

// GetMessageW without waiting: FALSE when nothing is there. With PM_NOREMOVE
// the message stays (and a timer is not restarted).
BOOL PeekMessageW(MSG *lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);

// For WM_KEYDOWN of Backspace, Tab, Enter, Escape and Space, posts the
// character message (WM_CHAR) to the same window and returns TRUE; FALSE for
// anything else. Other characters arrive from the display as WM_CHAR.
BOOL TranslateMessage(const MSG *lpMsg);

// Calls the window procedure of a message taken from the queue. WM_TIMER with
// a callback calls the callback instead, only when it is the callback of a
// timer of this thread with that id. Returns the procedure's result; 0 for a
// message without a window of this thread.
LRESULT DispatchMessageW(const MSG *lpMsg);

// Asks the calling thread's message loop to end: GetMessageW returns 0 with
// WM_QUIT and the exit code in wParam, once no posted message is left.
void PostQuitMessage(int nExitCode);

// ---- Activation and focus ---------------------------------------------------

// WM_ACTIVATE's wParam.
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;

// The window with the keyboard focus: a window of the calling thread, or
// null when it has none (or that window is gone).
HWND GetFocus();

// Gives the keyboard focus to a window of the calling thread (null: to
// none). Its top-level window becomes the thread's active window first when
// it is not. The window losing the focus gets WM_KILLFOCUS (wParam the new
// one), the one gaining it WM_SETFOCUS (wParam the old one); nothing is sent
// when the focus does not move. Returns the previous focus window; null, and
// nothing changed, for a window that is not a live window of this thread, or
// one that is hidden or disabled (it cannot take keys).
HWND SetFocus(HWND hWnd);

// The calling thread's active top-level window, or null.
HWND GetActiveWindow();

// Makes a top-level window of the calling thread the thread's active window
// (null: none). The old one gets WM_ACTIVATE (WA_INACTIVE, lParam the new),
// the new one WM_ACTIVATE (WA_ACTIVE, lParam the old); nothing is sent when it
// is active already. The focus is not moved. A shown window comes to the
// front of the display. Returns the previous active window; null, and nothing
// changed, for a child window or one that is not a live window of this thread.
HWND SetActiveWindow(HWND hWnd);

// The top-level window the user works with, of any thread of this process;
// null when there is none (or it is gone). Windows of other processes are
// never foreground here: there is no desktop shared between programs.
HWND GetForegroundWindow();

// Makes a top-level window of this process the foreground window; when it
// belongs to the calling thread it also becomes the active window. FALSE,
// and nothing changed, for a child window or one that is not a live window
// of this process.
BOOL SetForegroundWindow(HWND hWnd);

// ---- Timers -----------------------------------------------------------------

// Starts or restarts a timer: WM_TIMER (wParam the id, lParam the callback)
// comes due every uElapse milliseconds of the platform clock
// (platform/clock). Timer messages are made only when the queue holds
// nothing else, and one due timer gives one WM_TIMER however many periods
// passed. With a window (of the calling thread) the timer is that window's
// timer nIDEvent (which must not be 0), and the result is nIDEvent; without
// one it is a thread timer, and the result is its new id (nIDEvent when that
// names a thread timer of this thread already). 0 on failure.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);

// Stops a timer of the calling thread. FALSE when there is none.
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// ---- Size, place, visibility, text -----------------------------------------

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// SetWindowPos flags and z-order places.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
#define HWND_TOP (static_cast<HWND>(nullptr))

// GetSystemMetrics indices.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;

// The screen's width or height in pixels (the display's; docs/window.md),
// the scroll bar's width; 0 for another index.
int GetSystemMetrics(int nIndex);

// The window's rectangle in screen pixels. FALSE for a bad window.
BOOL GetWindowRect(HWND hWnd, LPRECT lpRect);
// The client area: 0,0 and the window's size (windows here have no frame;
// a scroll bar takes its width off the right).
BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
// Converts between screen pixels and the window's client pixels.
BOOL ScreenToClient(HWND hWnd, POINT *lpPoint);
BOOL ClientToScreen(HWND hWnd, POINT *lpPoint);
// Moves and sizes a window: x and y in its parent's client pixels (screen
// pixels for a top-level window). Sends WM_MOVE and WM_SIZE when they
// change. Negative sizes count as 0.
BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
// MoveWindow with SWP_* flags; SWP_SHOWWINDOW / SWP_HIDEWINDOW show or hide,
// and hWndInsertAfter HWND_TOP (null) brings a top-level window to the front
// unless SWP_NOZORDER is given.
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
// Shows or hides a window; returns whether it was visible before.
BOOL ShowWindow(HWND hWnd, int nCmdShow);
BOOL IsWindowVisible(HWND hWnd);
// Enables or disables a window (WS_DISABLED), sending WM_ENABLE; returns
// whether it was disabled before. A disabled window does not take the focus.
BOOL EnableWindow(HWND hWnd, BOOL bEnable);
BOOL IsWindowEnabled(HWND hWnd);
// The parent of a child window, the owner of a top-level one.
HWND GetParent(HWND hWnd);
// TRUE when hWnd is a child (or grandchild ...) of hWndParent.
BOOL IsChild(HWND hWndParent, HWND hWnd);

// Window text through WM_SETTEXT / WM_GETTEXT / WM_GETTEXTLENGTH, which
// DefWindowProcW answers from the window's title.
BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString);
int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
int GetWindowTextLengthW(HWND hWnd);

// ---- Painting and scrolling -----------------------------------------------------

// Marks the window as needing to be drawn again; the display draws the
// screen before the thread next waits for messages. lpRect and bErase are
// accepted; the whole window is redrawn.
BOOL InvalidateRect(HWND hWnd, const RECT *lpRect, BOOL bErase);
// Draws what is marked at once.
BOOL UpdateWindow(HWND hWnd);

// Scroll bars.
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr UINT SIF_RANGE = 0x0001;
constexpr UINT SIF_PAGE = 0x0002;
constexpr UINT SIF_POS = 0x0004;
constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
constexpr UINT SIF_TRACKPOS = 0x0010;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
// WM_VSCROLL / WM_HSCROLL request codes (low word of wParam).
constexpr WORD SB_LINEUP = 0;
constexpr WORD SB_LINEDOWN = 1;
constexpr WORD SB_PAGEUP = 2;
constexpr WORD SB_PAGEDOWN = 3;
constexpr WORD SB_THUMBPOSITION = 4;
constexpr WORD SB_THUMBTRACK = 5;
constexpr WORD SB_TOP = 6;
constexpr WORD SB_BOTTOM = 7;
constexpr WORD SB_ENDSCROLL = 8;
// ScrollWindowEx flags.
constexpr UINT SW_SCROLLCHILDREN = 0x0001;
constexpr UINT SW_INVALIDATE = 0x0002;
constexpr UINT SW_ERASE = 0x0004;

// Sets the window's scroll bar (SB_VERT or SB_HORZ) from the fields fMask
// names; the position is kept within nMin .. nMax - nPage + 1 (nMax with no
// page). Returns the new position.
int SetScrollInfo(HWND hWnd, int nBar, LPCSCROLLINFO lpsi, BOOL redraw);
// Reads the fields fMask names. FALSE for a bad window or bar.
BOOL GetScrollInfo(HWND hWnd, int nBar, LPSCROLLINFO lpsi);
// Scrolls the window's content by dx, dy pixels: with SW_SCROLLCHILDREN its
// child windows move by that much. The rectangles and region are accepted
// and not used (the whole client area scrolls). Returns 1 (SIMPLEREGION).
int ScrollWindowEx(HWND hWnd, int dx, int dy, const RECT *prcScroll, const RECT *prcClip,
                   void *hrgnUpdate, LPRECT prcUpdate, UINT flags);

// ---- Icons ------------------------------------------------------------------

// An icon of a module by number (MAKEINTRESOURCEW), or a stock icon with a
// null module. The same module and number always give the same handle, which
// lives as long as the process. Icons are never drawn here: a display shows
// the tray icon as its tip text. Null for an icon named by text.
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);

// The module and number an icon handle was loaded from. False for a handle
// LoadIconW did not give.
bool iconResource(HICON icon, HINSTANCE *module, WORD *id);

// Dialogs, controls and menus: dialog.h, controls.h, menu.h.
