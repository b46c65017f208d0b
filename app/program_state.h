// The program-wide state of the running program: its main window, the
// contacts application object and the open rules list dialog. Used on the
// main window's thread only.
#pragma once

#include "platform/base/types.h"

struct IPOutlookApp;

// The hidden main window: target of the timer, the tray icon's
// notifications, a second instance's request and the extension's commands.
extern HWND mainWindow;

// The contacts application object, created at start-up and kept until exit
// for the appointment and task commands; null when contacts are unavailable.
extern IPOutlookApp *pimApplication;

// The open rules list dialog; null while it is closed.
extern HWND rulesListDialog;

// The display texts that start-up loads once for the default rules, the rule
// editor and the rules list: "Archive" (40019), ">> DELETE <<" (40020) and
// ">> Known users <<" (40021) in the shipped strings; never null after start-up.
extern const WCHAR *archiveText;
extern const WCHAR *deleteText;
extern const WCHAR *knownUsersText;

// The main window's class and title, by which a second instance and the
// extension library find it.
inline constexpr const WCHAR *MAIN_WINDOW_CLASS = u"Quillmarsh Class";
inline constexpr const WCHAR *MAIN_WINDOW_TITLE = u"Quillmarsh";

// The extension module, registered while the program runs.
inline constexpr const WCHAR *EXTENSION_MODULE = u"Tollbeck.dll";

// The processing timer of the main window.
constexpr UINT_PTR PROCESSING_TIMER_ID = 1;
constexpr UINT PROCESSING_TIMER_MS = 5000;

// Sent by the tray icon and posted by a second instance: show the rules list.
constexpr UINT WM_SHOW_RULES = 0x0401; // WM_USER + 1
