// The ids of the program's string table. They live beside the string loader,
// below every subsystem, because the rules, the engine and the dialogs all
// load these texts; the other resource ids are in ui/resources/resource_ids.h.
#pragma once

#include "platform/base/types.h"

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

// Strings of the program's table that the handheld did not have (40101 on,
// clear of its numbers): the settings dialog's backup failures.
constexpr UINT IDS_BACKUP_NOT_WRITTEN = 40101; // "The backup %s could not be written:\n%s"
constexpr UINT IDS_BACKUP_NOT_READ = 40102;    // "The backup %s could not be read:\n%s"
