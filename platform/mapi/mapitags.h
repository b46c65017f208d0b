// Property tags the program, its tools and the stores use, with their
// published values. Text tags are the UTF-16 (PT_UNICODE) forms.
#pragma once

#include "platform/mapi/mapidefs.h"

// Every object.
constexpr ULONG PR_ENTRYID = PROP_TAG(PT_BINARY, 0x0FFF);        // the object's entry id
constexpr ULONG PR_OBJECT_TYPE = PROP_TAG(PT_LONG, 0x0FFE);      // MAPI_STORE, MAPI_FOLDER, MAPI_MESSAGE
constexpr ULONG PR_STORE_ENTRYID = PROP_TAG(PT_BINARY, 0x0FFB);  // the store that holds it
constexpr ULONG PR_RECORD_KEY = PROP_TAG(PT_BINARY, 0x0FF9);
constexpr ULONG PR_DISPLAY_NAME = PROP_TAG(PT_UNICODE, 0x3001);  // store and folder names

// Messages.
constexpr ULONG PR_MESSAGE_CLASS = PROP_TAG(PT_UNICODE, 0x001A);
constexpr ULONG PR_SUBJECT = PROP_TAG(PT_UNICODE, 0x0037);
constexpr ULONG PR_SENDER_NAME = PROP_TAG(PT_UNICODE, 0x0C1A);
constexpr ULONG PR_SENDER_EMAIL_ADDRESS = PROP_TAG(PT_UNICODE, 0x0C1F);
constexpr ULONG PR_DISPLAY_CC = PROP_TAG(PT_UNICODE, 0x0E03);
constexpr ULONG PR_DISPLAY_TO = PROP_TAG(PT_UNICODE, 0x0E04);
constexpr ULONG PR_MESSAGE_DELIVERY_TIME = PROP_TAG(PT_SYSTIME, 0x0E06);
constexpr ULONG PR_MESSAGE_FLAGS = PROP_TAG(PT_LONG, 0x0E07);    // MSGFLAG_*
constexpr ULONG PR_MESSAGE_SIZE = PROP_TAG(PT_LONG, 0x0E08);
constexpr ULONG PR_PARENT_ENTRYID = PROP_TAG(PT_BINARY, 0x0E09); // the folder that holds it
constexpr ULONG PR_MSG_STATUS = PROP_TAG(PT_LONG, 0x0E17);       // MSGSTATUS_*
constexpr ULONG PR_HASATTACH = PROP_TAG(PT_BOOLEAN, 0x0E1B);
constexpr ULONG PR_BODY = PROP_TAG(PT_UNICODE, 0x1000);

// Folders.
constexpr ULONG PR_FOLDER_TYPE = PROP_TAG(PT_LONG, 0x3601);
constexpr ULONG PR_CONTENT_COUNT = PROP_TAG(PT_LONG, 0x3602);
constexpr ULONG PR_CONTENT_UNREAD = PROP_TAG(PT_LONG, 0x3603);
constexpr ULONG PR_SUBFOLDERS = PROP_TAG(PT_BOOLEAN, 0x360A);

// Stores: the entry ids of their special folders.
constexpr ULONG PR_IPM_SUBTREE_ENTRYID = PROP_TAG(PT_BINARY, 0x35E0);     // top of the folder tree
constexpr ULONG PR_IPM_OUTBOX_ENTRYID = PROP_TAG(PT_BINARY, 0x35E2);
constexpr ULONG PR_IPM_WASTEBASKET_ENTRYID = PROP_TAG(PT_BINARY, 0x35E3); // deleted items
constexpr ULONG PR_IPM_SENTMAIL_ENTRYID = PROP_TAG(PT_BINARY, 0x35E4);
constexpr ULONG PR_VIEWS_ENTRYID = PROP_TAG(PT_BINARY, 0x35E5);
constexpr ULONG PR_COMMON_VIEWS_ENTRYID = PROP_TAG(PT_BINARY, 0x35E6);
constexpr ULONG PR_FINDER_ENTRYID = PROP_TAG(PT_BINARY, 0x35E7);

// The handheld's own properties.
constexpr ULONG PR_CE_MIME_TEXT = PROP_TAG(PT_BINARY, 0x8103);          // a message's Internet text, as a stream
constexpr ULONG PR_CE_IPM_DRAFTS_ENTRYID = PROP_TAG(PT_BINARY, 0x8104); // store: the drafts folder
constexpr ULONG PR_CE_IPM_INBOX_ENTRYID = PROP_TAG(PT_BINARY, 0x8106);  // store: the Inbox
// A message's size in bytes as the handheld's stores keep it (whole message,
// also while only its header is present). The name is this project's.
constexpr ULONG PR_CE_MESSAGE_SIZE = PROP_TAG(PT_LONG, 0x8111);
