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

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// Keys that TranslateMessage turns into characters.
constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_SPACE = 0x20;

// Class and window styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
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
// nothing changed, for a window that is not a live window of this thread.
HWND SetFocus(HWND hWnd);

// The calling thread's active top-level window, or null.
HWND GetActiveWindow();

// Makes a top-level window of the calling thread the thread's active window
// (null: none). The old one gets WM_ACTIVATE (WA_INACTIVE, lParam the new),
// the new one WM_ACTIVATE (WA_ACTIVE, lParam the old); nothing is sent when it
// is active already. The focus is not moved. Returns the previous active
// window; null, and nothing changed, for a child window or one that is not a
// live window of this thread.
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

// ---- Icons ------------------------------------------------------------------

// An icon of a module by number (MAKEINTRESOURCEW), or a stock icon with a
// null module. The same module and number always give the same handle, which
// lives as long as the process. Icons are never drawn here: a display shows
// the tray icon as its tip text. Null for an icon named by text.
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);

// The module and number an icon handle was loaded from. False for a handle
// LoadIconW did not give.
bool iconResource(HICON icon, HINSTANCE *module, WORD *id);

// ---- Dialogs ----------------------------------------------------------------

// Runs a modal dialog from a template on the current display (display.h)
// and returns the dialog's result; -1 when the display cannot create
// dialogs.
INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam);
