// The folder index of a store's watcher: where each rule's folder name led
// the last time findOrCreateTargetFolder (folders.h) looked it up, so that a
// move does not list three folders and open every subfolder to read its
// name. It is an index beside that lookup, not another lookup: a miss, and
// anything the index cannot vouch for, runs the lookup itself.
//
// Every folder or store notification of the watcher's store empties it
// (noteFolderChange, from OnNotify), so a folder that another program
// creates, renames or removes is looked up afresh at the first move after
// the store reported it. One kind only confirms what the index holds: the
// creation of a folder that it already leads to (the archive folder or a
// target), which is the echo of the lookup's own making of that folder. A
// fresh store's first moves make a folder per rule, and each such echo
// emptied the whole index, some forty lookups more for the first thousand
// messages. A hit is checked on the way: the indexed folder and
// the archive folder are opened by entry id, and when either is gone (a
// rename or removal not reported yet) the lookup runs. Without a
// subscription nothing would empty it, so the index is then not used.
#pragma once

#include "platform/mapi/mapidefs.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct StoreWatcher;

struct FolderIndex {
  std::atomic<std::uint64_t> changes{0}; // folder and store notifications seen
  std::mutex lock;                       // guards the fields below
  std::uint64_t filledAt = 0;            // `changes` when the entries below were last known good
  std::vector<BYTE> archiveId;           // the archive folder's entry id; empty when unknown
  // Entry id of the folder the lookup gave, by folder name and whether a
  // missing one was to be made under the Inbox.
  std::map<std::pair<std::u16string, bool>, std::vector<BYTE>> targets;
  // The notifications after filledAt, in order: the id of a created folder,
  // or empty for any other notification. Bounded: past FOLDER_EVENTS_KEPT
  // they stand for one that empties the index.
  std::vector<std::vector<BYTE>> since;
};

constexpr std::size_t FOLDER_EVENTS_KEPT = 64;

// Called for each notification the watcher receives: a folder or store event
// empties the index at its next use.
void noteFolderChange(FolderIndex *index, const NOTIFICATION &notification);

// The target folder of a move, as findOrCreateTargetFolder(watcher->store,
// name, createUnderInbox) gives it, from the watcher's index when it holds
// the name. Null as the lookup is.
LPMAPIFOLDER openTargetFolder(StoreWatcher *watcher, const WCHAR *name, bool createUnderInbox);
