// Inside the window system: the window table, the per-thread queues and what
// several of its files share. Not for use outside platform/window.
//
// Locks: the window table's lock may be held while a queue's lock is taken,
// never the other way round. No lock is held while a window procedure runs.
#pragma once

#include "platform/window/channel.h"
#include "platform/window/window.h"

#include <poll.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct ThreadQueue;

// A message sent to a window of another thread of this process, waiting in
// that thread's queue until it is handled there.
struct SentMessage {
  HWND hwnd = nullptr;                   // the window
  UINT message = 0;                      // the message number
  WPARAM wParam = 0;                     // first parameter
  LPARAM lParam = 0;                     // second parameter (points at `copy` for WM_COPYDATA)
  COPYDATASTRUCT copy{};                 // WM_COPYDATA: the receiver's copy of the record
  std::vector<std::uint8_t> copyBytes;   // WM_COPYDATA: the receiver's copy of the bytes
  LRESULT result = 0;                    // the window procedure's result, once done
  std::atomic<bool> done{false};         // set (release) when result is valid
  std::shared_ptr<ThreadQueue> sender;   // woken when done
};

// A timer of a thread: of a window, or of the thread itself (hwnd null).
struct Timer {
  HWND hwnd;        // the window, or null for a thread timer
  UINT_PTR id;      // the timer's id
  UINT period;      // milliseconds between WM_TIMER messages
  DWORD due;        // tick count when it is next due
  TIMERPROC proc;   // callback, or null for WM_TIMER to the window
};

// The socket on which a window of this thread can be reached.
struct Listener {
  HWND hwnd;                   // the window
  int fd;                      // the listening socket
  std::filesystem::path path;  // its name in the channel folder
  ino_t inode;                 // the name's inode, so only our own socket is removed
};

// An accepted connection whose request has not fully arrived.
struct Connection {
  int fd;                              // the connection, non-blocking
  HWND hwnd;                           // the window whose socket it came to
  std::vector<std::uint8_t> received;  // bytes read so far
  std::int64_t openedMs;               // steady-clock milliseconds at accept
  int lentFd = -1;                     // a terminal that came with the bytes (SCM_RIGHTS)
};

// A message sent from another process, read whole, waiting to be handled.
struct RemoteSend {
  int fd;                  // the connection, answered and closed once handled
  HWND hwnd;               // the window
  ChannelRequest request;  // what was asked
  int lentFd = -1;         // SentLending: the lent terminal, owned until handed on
};

// The message queue of one thread.
struct ThreadQueue {
  // Shared with other threads, under `lock`.
  std::mutex lock;                                 // guards alive, wakeFd, posted, sent
  bool alive = true;                               // false once the thread has ended
  int wakeFd = -1;                                 // eventfd written to wake the thread
  std::deque<MSG> posted;                          // posted messages, oldest first
  std::deque<std::shared_ptr<SentMessage>> sent;   // messages sent from other threads

  // The owning thread's alone.
  bool quitPosted = false;                // PostQuitMessage was called
  int exitCode = 0;                       // its exit code
  bool inSend = false;                    // handling a message sent by another thread or process
  HWND focus = nullptr;                   // the window with the keyboard focus
  HWND active = nullptr;                  // the active top-level window
  std::vector<Timer> timers;              // this thread's timers
  UINT_PTR nextThreadTimerId = 0x8000;    // where the search for a free thread-timer id starts
  std::vector<Listener> listeners;        // sockets of this thread's reachable windows
  std::vector<Connection> connections;    // connections still being read
  std::deque<RemoteSend> remoteSends;     // sent messages from other processes, oldest first
};

struct Canvas;
struct CellRect;

// How the displays draw a window of a class: into the canvas, within the
// cells its rectangle covers. Called with no lock held, on the thread that
// draws (windows are read through the public calls).
using PaintProc = void (*)(HWND hwnd, Canvas &canvas, const CellRect &cells);

// A window class.
struct WindowClass {
  ATOM atom;             // its atom
  std::u16string name;   // its name as registered
  WNDCLASSW wc;          // the record as registered (lpszClassName points at name)
  int liveWindows = 0;   // windows of the class that exist
  PaintProc paint = nullptr; // the window system's own classes: how they are drawn
  bool popupClass = false;   // its windows are popups (menus, lists, boxes)
};

// A modal or modeless dialog's state.
struct DialogState {
  DLGPROC proc = nullptr;      // the dialog procedure
  bool modal = false;          // run by DialogBoxParamW
  bool ended = false;          // EndDialog was called
  INT_PTR result = 0;          // the value given to EndDialog
  int baseX = 0;               // dialog base units of its font, pixels
  int baseY = 0;
  HWND savedFocus = nullptr;   // its control that had the focus when it was last deactivated
};

// A window of this process.
struct Window {
  HWND handle = nullptr;                  // its handle
  WindowClass *cls = nullptr;             // its class
  std::u16string title;                   // its title
  WNDPROC proc = nullptr;                 // its window procedure
  DWORD style = 0;                        // WS_* style
  DWORD exStyle = 0;                      // extended style
  HWND parent = nullptr;                  // parent of a child window
  HWND owner = nullptr;                   // owner of a top-level window
  HINSTANCE instance = nullptr;           // module given at creation
  LONG_PTR id = 0;                        // a child window's id
  LONG_PTR userData = 0;                  // GWLP_USERDATA
  std::vector<BYTE> extra;                // the class's extra window bytes
  std::shared_ptr<ThreadQueue> queue;     // the owning thread's queue
  bool destroying = false;                // DestroyWindow has begun
  RECT rect{};                            // place and size: parent's client pixels, screen for top-level
  SCROLLINFO scroll[2]{};                 // SB_HORZ and SB_VERT state
  std::unique_ptr<DialogState> dialog;    // set for a dialog
  bool fullScreen = false;                // SHInitDialog sized it to the screen
  bool doneButton = false;                // SHInitDialog: "ok" in the title bar
  HWND softkeyBar = nullptr;              // SHCreateMenuBar's bar for it
  bool popup = false;                     // drawn over the screen window (menus, boxes)
  int frame = 0;                          // frame width in pixels around the client area (dialogs: 1)
  std::uint64_t serial = 0;               // creation order: siblings' order and tab order
};

// A window of another process, as FindWindowW found it.
struct RemoteWindow {
  std::filesystem::path socket;  // its socket
  std::u16string className;      // the class it was found by
  std::u16string title;          // the title it was found by
};

// One entry of the handle table: a window of this process or of another.
struct WindowSlot {
  WORD generation = 0;                   // part of the handle; changes when the slot is reused
  std::unique_ptr<Window> local;         // a window of this process, or null
  std::unique_ptr<RemoteWindow> remote;  // a window of another process, or null
};

// The window system's process-wide state.
struct WindowSystem {
  std::mutex lock;                                    // guards everything below
  std::vector<WindowSlot> slots;                      // the handle table; slot 0 unused
  std::vector<std::uint32_t> freeSlots;               // slots free for reuse
  std::vector<std::unique_ptr<WindowClass>> classes;  // registered classes
  ATOM nextAtom = 0xC000;                             // atom of the next class
  std::vector<HWND> zOrder;                           // shown top-level windows, front last
  std::uint64_t nextSerial = 1;                       // serial of the next window
};

WindowSystem &windowSystem();

// ---- Window table (windows.cpp, classes.cpp) ---------------------------------

// Under windowSystem().lock: the live window of this process, or null.
Window *findWindowLocked(HWND hwnd);
// Under windowSystem().lock: the window of another process, or null.
RemoteWindow *findRemoteLocked(HWND hwnd);
// Under windowSystem().lock: a class by name (ignoring case) or atom.
WindowClass *findClassLocked(LPCWSTR nameOrAtom);
// Under windowSystem().lock: hwnd is filter or one of its descendants.
bool isSelfOrDescendantLocked(HWND hwnd, HWND filter);
// Whether a message for hwnd passes a GetMessageW window filter.
bool windowFilterMatchesLocked(HWND filter, HWND hwnd);
// True when hwnd is a live window owned by q's thread.
bool isWindowOfQueue(HWND hwnd, const ThreadQueue &q);
// Calls the window's current procedure (looked up, then called unlocked).
LRESULT callWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The window's children, in the order they were created.
std::vector<HWND> childWindows(HWND hwnd);
// Removes every window of a thread that is ending, without messages.
void releaseThreadWindows(ThreadQueue &q);

// ---- Geometry, focus, system classes (geometry.cpp, focus.cpp, system_classes.cpp)

// Under windowSystem().lock: the window's rectangle in screen pixels.
RECT screenRectLocked(const Window &w);
// Under windowSystem().lock: puts a shown top-level window in front, or
// takes it out of the z-order (hidden, destroyed).
void raiseLocked(HWND hwnd);
void dropFromZOrderLocked(HWND hwnd);
// The window system's own classes (dialog, controls, menus) are registered
// before the first window of the process is made.
void ensureSystemClasses();
// Registers one of them with its drawing procedure.
void registerSystemClass(LPCWSTR name, WNDPROC proc, int extraBytes, PaintProc paint,
                         bool popup = false);
// The system classes' procedures, each in its control's file.
LRESULT dialogClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Gives a dialog's control the focus as the dialog manager does (first
// focus, Tab and the arrows, WM_NEXTDLGCTL): an edit field's text is
// selected whole first (DLGC_HASSETSEL), so typing replaces it.
void setDialogFocus(HWND control);
void paintDialog(HWND hwnd, Canvas &canvas, const CellRect &cells);
void registerControlClasses();
void registerMenuClasses();
// A modal loop of the window system (dialogs, menus): takes and handles
// messages until *done; WM_QUIT is made again for the outer loop and ends
// it too. filter handles a message first (null: none); true when handled.
// Returns false when the loop ended through WM_QUIT.
bool runModalLoop(HWND top, const bool *done, bool (*filter)(HWND top, MSG *msg));
// The window the display shows: the front-most shown top-level window that
// is not a popup; null when none is shown.
HWND frontWindow();
// A window that is destroyed gives up the focus and activation it had.
void forgetFocusOf(ThreadQueue &q, HWND hwnd);
// The screen changed size: every full-screen dialog is resized to it.
void fitFullScreenWindows();

// True when q's thread is the display's thread (display.cpp).
bool isDisplayThread(const ThreadQueue &q);
// This process's terminal is lent to another process: the display neither
// draws nor reads input until it is given back.
bool displayLentOut();
void setDisplayLentOut(bool lent);

// ---- Lending terminals (display_lent.cpp, lend.cpp) -------------------------

// What a receiver did with a terminal lent to it.
enum class LendStart {
  Borrowed, // it is the display until endTerminalLend
  Declined, // this process shows dialogs on a display of its own
  Busy,     // another terminal is lent to it already
  Failed,   // not a terminal ncurses can use, or another thread has the display
};
// Takes fd (always: it is closed unless Borrowed) as the display of this
// thread; connection is watched for the lender asking for it back.
LendStart beginTerminalLend(int fd, const std::string &terminalName, int connection);
// Gives the borrowed terminal back as it was found and closes it.
void endTerminalLend();

// ---- Queues (queue.cpp) ------------------------------------------------------

// The calling thread's queue, made at first use.
std::shared_ptr<ThreadQueue> currentQueue();
// Appends a posted message and wakes the thread. False when the thread has
// ended or its queue is full.
bool postToQueue(ThreadQueue &q, const MSG &msg);
// The same, but the message is taken before every other posted one.
bool postToQueueNext(ThreadQueue &q, const MSG &msg);
// Wakes the thread when it waits.
void wakeQueue(ThreadQueue &q);
// Hands a sent message its result and wakes its sender.
void completeSent(SentMessage &sm, LRESULT result);

// ---- Waiting (pump.cpp) and handling sent messages (loop.cpp) ------------------

// Waits up to timeoutMs (-1: no limit, 0: only looks) for a wake-up, the
// termination signal, the window channel or extraFd, and takes in what
// arrived: channel requests become posted or pending sent messages; the
// termination signal becomes the quit request. True when extraFd is readable.
bool pumpIo(ThreadQueue &q, int timeoutMs, int extraFd);
// Handles every message sent to this thread by other threads and processes.
void dispatchIncomingSent(ThreadQueue &q);

// ---- Timers (timers.cpp) -----------------------------------------------------

// Takes the earliest due timer that passes the filters as a WM_TIMER message;
// with remove, the timer's next due time moves past now.
bool takeTimer(ThreadQueue &q, HWND filter, UINT first, UINT last, bool remove, MSG *out);
// Milliseconds until the next timer is due; -1 when there is none.
int timerWaitMs(const ThreadQueue &q);
// Removes a window's timers.
void killWindowTimers(ThreadQueue &q, HWND hwnd);
// True when proc is the callback of this thread's timer (hwnd, id).
bool isTimerCallback(const ThreadQueue &q, HWND hwnd, UINT_PTR id, TIMERPROC proc);

// ---- The window channel (channel_server.cpp, channel_client.cpp, channel_socket.cpp)

// Makes a top-level window reachable; silently not when its names are out of
// bounds, the folder is unusable, or a live window of that class and title
// already listens.
void channelPublish(ThreadQueue &q, HWND hwnd, const std::u16string &className,
                    const std::u16string &title);
// Stops listening for a window and removes its socket.
void channelUnpublish(ThreadQueue &q, HWND hwnd);
// Adds the thread's listeners and connections to a poll set.
void channelAddPollFds(const ThreadQueue &q, std::vector<pollfd> &fds);
// Handles the poll results of the entries channelAddPollFds added (fds
// points at the first of them).
void channelHandlePoll(ThreadQueue &q, const pollfd *fds, std::size_t count);
// Milliseconds until the oldest unfinished connection is dropped; -1 for none.
int channelWaitLimitMs(const ThreadQueue &q);
// Handles the sent messages from other processes that have arrived.
void channelDispatchRemoteSends(ThreadQueue &q);
// Closes every socket of a thread that is ending.
void channelCloseAll(ThreadQueue &q);

// The socket of a window of another process, when one listens there; a stale
// socket is removed.
std::optional<std::filesystem::path> channelFind(std::u16string_view className,
                                                 std::u16string_view title);
// True when the window of another process still listens.
bool channelListening(const RemoteWindow &window);
// Posts to a window of another process.
bool channelPost(const RemoteWindow &window, UINT message, WPARAM wParam, LPARAM lParam);
// A terminal offered with a sent message (lend.h), and what became of it.
struct ChannelLend {
  int terminalFd = -1;             // the terminal lent (the caller keeps it)
  std::string terminalName;        // its type (TERM)
  bool returnWhenDeclined = false; // stop waiting when the receiver declines it
  bool declined = false;           // the receiver shows on its own display
  bool busy = false;               // the receiver has another terminal lent already
};

// Sends to a window of another process. pickupMs bounds the wait until the
// receiver starts handling it, totalMs (-1: none) the whole wait; serve
// handles messages sent to this thread meanwhile; lend (or null) offers a
// terminal with it. True with *result when handled.
bool channelSend(const RemoteWindow &window, UINT message, WPARAM wParam, LPARAM lParam,
                 int pickupMs, int totalMs, bool serve, LRESULT *result,
                 ChannelLend *lend = nullptr);
// Resolves a handle to a window of another process; false for any other.
bool remoteWindowOf(HWND hwnd, RemoteWindow *out);

// Result of connecting to a window's socket.
enum class ChannelConnect {
  Connected, // *fd is a connection to a listener of this user
  Missing,   // no socket there (or no descriptor left to try with)
  Stale,     // a socket nobody listens on
  Busy,      // somebody listens, but its backlog is full (its thread is busy)
  Foreign,   // the listener belongs to another user
};
// Connects without blocking; the connection is non-blocking and close-on-exec.
ChannelConnect channelConnect(const std::filesystem::path &path, int *fd);
// The channel folder's lock, held while a socket there is found dead and
// removed, and while a window binds its socket and starts listening: then a
// removal never takes a socket a starting window has just put in the dead
// one's place, nor one bound and not yet listening. A descriptor to close to
// release it, or -1 when the folder cannot be locked (it goes on unlocked).
int channelFolderLock(const std::filesystem::path &socket);
// Removes a socket nobody listens on, holding the folder's lock unless the
// caller does. False when it is live (or not ours).
bool channelRemoveStale(const std::filesystem::path &path, bool locked = false);
// True when the other end of a connection runs as the expected user.
bool channelPeerAllowed(int fd);
// Milliseconds of the steady clock (connection ages and send time-outs).
std::int64_t channelNowMs();

// ---- Termination signal (signals.cpp) and tray (tray.cpp) ----------------------

// The read end of the signal pipe when q is the thread that gets the quit
// request, else -1.
int terminationFdFor(const ThreadQueue *q);
// Empties the signal pipe.
void terminationDrain();
// q's thread has ended: the signal no longer goes there.
void terminationForget(const ThreadQueue *q);
// Removes the tray icons of a window that goes away.
void trayForgetWindow(HWND hwnd);
