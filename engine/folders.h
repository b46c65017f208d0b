// Folder lookup and creation: a rule names its target folder by display name
// only, which is turned into an open folder of a store, created when missing.
// Names are compared exactly (case matters, whole name) and never split: a
// name holding "/" or "\" is one folder name. Only direct subfolders of three
// folders are searched: the store's top folder, its archive folder and its
// Inbox.
//
// Every folder returned is an open IMAPIFolder that the caller releases; all
// else these functions obtain is released or freed before they return. Every
// failure of a store call, an exception raised by one included, is taken as
// "no such folder or value": lookups return null, isSpecialFolder goes on with
// its next property, creation returns null. Nothing is reported.
#pragma once

#include "platform/mapi/mapidefs.h"

#include <vector>

// The text of string 40019 ("Archive"), the archive folder's name, loaded once.
const WCHAR *archiveFolderName();

// The store's top folder (PR_IPM_SUBTREE_ENTRYID), or null.
LPMAPIFOLDER openTopFolder(LPMDB store);

// The store's Inbox (its receive folder for the default class), or null.
LPMAPIFOLDER openInbox(LPMDB store);

// The direct subfolder of folder named name, created when missing
// (CreateFolder with OPEN_IF_EXISTS), or null.
LPMAPIFOLDER openOrCreateChild(LPMAPIFOLDER folder, const WCHAR *name);

// The first direct subfolder of folder, in hierarchy-table order, whose
// display name equals name exactly, or null. Subfolders are opened through
// the session; null without one.
LPMAPIFOLDER findChild(LPMAPIFOLDER folder, const WCHAR *name);

// The target folder of a move: the store's top folder's direct subfolder
// named name, else the archive folder's, else the Inbox's; when none exists,
// a new one under the Inbox (createUnderInbox) or under the archive folder.
// The archive folder itself is created under the top folder, when missing, at
// every call; with archiveId, its entry id goes there (left as it is when it
// could not be opened or read). Null when the top folder cannot be opened or
// nothing could be found or created.
LPMAPIFOLDER findOrCreateTargetFolder(LPMDB store, const WCHAR *name, bool createUnderInbox,
                                      std::vector<BYTE> *archiveId = nullptr);

// True when the entry id (size bytes at id) is one of the store's special
// folders: outbox, deleted items, sent items, views, common views, finder, and
// the two store-specific ones (0x81040102, 0x81060102), read in that order.
bool isSpecialFolder(LPMDB store, ULONG size, const BYTE *id);
