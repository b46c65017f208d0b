// Resource ids of the program's resources (string table, icon, dialog
// templates, menus, bitmap) and the command ids of its menus. String ids and
// menu command ids are separate name spaces: 40001 is the string "Delete" and
// also the rules list's "New" command.
#pragma once

#include "platform/base/types.h"

// Icon, dialog templates, menus (softkey bars), bitmap.
constexpr UINT IDI_PROGRAM = 101;          // program icon, also the tray icon
constexpr UINT IDD_RULES_LIST = 103;       // rules list dialog
constexpr UINT IDD_RULE_EDITOR = 104;      // rule editor dialog
constexpr UINT IDD_SETTINGS = 105;         // About/settings dialog
constexpr UINT IDR_RULES_LIST_MENU = 106;  // rules list softkey bar ("New", "Menu")
constexpr UINT IDR_RULE_EDITOR_MENU = 107; // rule editor softkey bar ("OK", "Cancel")
constexpr UINT IDB_LOGO = 108;             // logo bitmap of the rules list

// Strings of the program's table: rule description texts.
constexpr UINT IDS_DESC_DELETE = 40001;       // "Delete"
constexpr UINT IDS_DESC_MOVE_TO = 40002;      // "Move to %s"
constexpr UINT IDS_DESC_AND = 40003;          // "and"
constexpr UINT IDS_DESC_PLAY_SOUND = 40004;   // "Play sound"
constexpr UINT IDS_DESC_EXEC = 40005;         // "Exec"
constexpr UINT IDS_DESC_DOWNLOAD = 40006;     // "Download"
constexpr UINT IDS_DESC_MARK_AS_READ = 40007; // "Mark as read"
constexpr UINT IDS_DESC_NOTHING = 40008;      // "Do nothing"
constexpr UINT IDS_DESC_WHERE = 40009;        // "where"
constexpr UINT IDS_DESC_FROM = 40014;         // "From=\"%s\""
constexpr UINT IDS_DESC_TO = 40026;           // "To=\"%s\""
constexpr UINT IDS_DESC_SUBJECT = 40027;      // "Subj=\"%s\""
constexpr UINT IDS_DESC_BODY = 40028;         // "Body=\"%s\""
constexpr UINT IDS_DESC_SMALLER = 40029;      // "Smaller than %d K"
constexpr UINT IDS_DESC_LARGER = 40030;       // "Larger than %d K"
constexpr UINT IDS_DESC_OLDER = 40031;        // "Older than %d min"
constexpr UINT IDS_DESC_READ = 40032;         // "Read"
constexpr UINT IDS_DESC_HAS_ATTACH = 40033;   // "HasAttach"

// Strings of the program's table: softkey bar captions.
constexpr UINT IDS_BAR_NEW = 40010;    // "New"
constexpr UINT IDS_BAR_OK = 40012;     // "OK"
constexpr UINT IDS_BAR_CANCEL = 40013; // "Cancel"
constexpr UINT IDS_BAR_MENU = 40015;   // "Menu"

// Strings of the program's table: display texts of special values, messages.
constexpr UINT IDS_ANY_MAILBOX = 40018;  // "<< Any Mailbox >>"
constexpr UINT IDS_ARCHIVE = 40019;      // "Archive"
constexpr UINT IDS_DELETE_MARK = 40020;  // ">> DELETE <<"
constexpr UINT IDS_KNOWN_USERS = 40021;  // ">> Known users <<"
constexpr UINT IDS_CANNOT_COPY = 40025;  // "Cannot copy the message."

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
