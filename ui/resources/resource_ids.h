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

// Controls of the rule editor (104). 1110 and 1111 (a body condition) are
// not in the template; the enabling table still names them.
constexpr WORD IDC_RULE_MAILBOX = 1103;      // mailbox box
constexpr WORD IDC_RULE_FROM_CHECK = 1104;   // "From:"
constexpr WORD IDC_RULE_FROM = 1105;         // sender
constexpr WORD IDC_RULE_TO_CHECK = 1106;     // "To:"
constexpr WORD IDC_RULE_TO = 1107;           // recipients
constexpr WORD IDC_RULE_SUBJECT_CHECK = 1108; // "Subject:"
constexpr WORD IDC_RULE_SUBJECT = 1109;      // subject
constexpr WORD IDC_RULE_BODY_CHECK = 1110;   // not in the template
constexpr WORD IDC_RULE_BODY = 1111;         // not in the template
constexpr WORD IDC_RULE_SIZE_CHECK = 1112;   // "Size:"
constexpr WORD IDC_RULE_SIZE_SIGN = 1113;    // "<=" or ">="
constexpr WORD IDC_RULE_SIZE = 1114;         // size in kilobytes
constexpr WORD IDC_RULE_OLDER_CHECK = 1115;  // "Older:"
constexpr WORD IDC_RULE_OLDER = 1116;        // age in minutes
constexpr WORD IDC_RULE_READ = 1117;         // "Read"
constexpr WORD IDC_RULE_HAS_ATTACH = 1118;   // "Has attach"
constexpr WORD IDC_RULE_MOVE_TO_LABEL = 1119; // "Move to:"
constexpr WORD IDC_RULE_MOVE_TO = 1120;      // target folder
constexpr WORD IDC_RULE_EXECUTE_LABEL = 1121; // "Execute:"
constexpr WORD IDC_RULE_EXECUTE = 1122;      // program to start
constexpr WORD IDC_RULE_EXECUTE_PICK = 1123; // "..." program picker
constexpr WORD IDC_RULE_SOUND_LABEL = 1124;  // "Play sound:"
constexpr WORD IDC_RULE_SOUND = 1125;        // sound file
constexpr WORD IDC_RULE_SOUND_PICK = 1126;   // "..." sound picker
constexpr WORD IDC_RULE_DOWNLOAD = 1127;     // "Download the message"
constexpr WORD IDC_RULE_MARK_AS_READ = 1128; // "Mark as read"

// Controls of the About/settings dialog (105).
constexpr WORD IDC_EXPORT = 1005;         // "Export"
constexpr WORD IDC_IMPORT = 1006;         // "Import"
constexpr WORD IDC_TRAY_ICON = 1008;      // "Show Tray Icon"
constexpr WORD IDC_DOWNLOAD_LIMIT = 1129; // download size limit in kilobytes
constexpr WORD IDC_PROGRAM_ICON = 101;    // the program icon

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
