// Resource ids of the program's resources (icon, dialog templates, menus,
// bitmap) and the command ids of its menus. The string ids are in
// services/string_ids.h, where the subsystems below the dialogs find
// them. String ids and menu command ids are separate name spaces: 40001 is
// the string "Delete" and also the rules list's "New" command.
#pragma once

#include "services/string_ids.h"
#include "platform/base/types.h"

// Icon, dialog templates, menus (softkey bars), bitmap.
constexpr UINT IDI_PROGRAM = 101;          // program icon, also the tray icon
constexpr UINT IDD_RULES_LIST = 103;       // rules list dialog
constexpr UINT IDD_RULE_EDITOR = 104;      // rule editor dialog
constexpr UINT IDD_SETTINGS = 105;         // About/settings dialog
constexpr UINT IDR_RULES_LIST_MENU = 106;  // rules list softkey bar ("New", "Menu")
constexpr UINT IDR_RULE_EDITOR_MENU = 107; // rule editor softkey bar ("OK", "Cancel")
constexpr UINT IDB_LOGO = 108;             // logo bitmap of the rules list

// Controls of the rules list (103).
constexpr WORD IDC_LOGO = 1001;    // logo bitmap; a tap opens About
constexpr WORD IDC_MAILBOX = 1101; // mailbox box
constexpr WORD IDC_RULES = 1102;   // rules list view

// Command ids of the rule editor's and settings dialog's softkeys (107).
constexpr UINT IDM_OK = 1;     // "OK"
constexpr UINT IDM_CANCEL = 2; // "Cancel"

// Command ids of the rules list menu (106).
constexpr UINT IDM_NEW = 40001;   // "New" / "New..."
constexpr UINT IDM_EXIT = 40002;  // "Exit"
constexpr UINT IDM_EDIT = 40003;  // "Edit..."
constexpr UINT IDM_DELETE = 40004; // "Delete"
constexpr UINT IDM_ABOUT = 40007; // "About..."
constexpr UINT IDM_HIDE = 40008;  // "Hide"

// Strings of the extension library's own table (a table of its own: the same
// numbers hold the program's description texts).
constexpr UINT IDS_EXT_CREATE_FILTER = 40001;      // "Create Filter..."
constexpr UINT IDS_EXT_CREATE_APPOINTMENT = 40002; // "Create Appointment..."
constexpr UINT IDS_EXT_CREATE_TASK = 40003;        // "Create Task..."
constexpr UINT IDS_EXT_MARK_AS_KNOWN = 40004;      // "Mark as Known"
constexpr UINT IDS_EXT_MARK_AS_UNKNOWN = 40005;    // "Mark as Unknown"
