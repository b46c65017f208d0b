#include "engine/pass.h"

#include "app/services/checkpoint.h"
#include "engine/actions.h"
#include "engine/address.h"
#include "engine/in_progress.h"
#include "engine/mapi_refs.h"
#include "engine/props.h"
#include "engine/recipients.h"
#include "engine/session.h"
#include "platform/clock/clock.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"
#include "rules/match.h"
#include "rules/rule_list.h"

namespace {

// Marks the watcher's walk as under way for a scope; the caller holds recordLock.
class WalkMark {
public:
  explicit WalkMark(StoreWatcher *watcher) : watcher_(watcher) { watcher_->walking = true; }
  ~WalkMark() { watcher_->walking = false; }
  WalkMark(const WalkMark &) = delete;
  WalkMark &operator=(const WalkMark &) = delete;

private:
  StoreWatcher *watcher_; // whose walk
};

// Opens a message through the session, or null. Exceptions pass through.
ComRef<IMessage> openMessage(ULONG size, const BYTE *id)
{
  ComRef<IMessage> message;
  if (!session)
    return message;
  HRESULT hr = session->OpenEntry(size, reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(id)), nullptr, 0,
                                  nullptr, message.putUnknown());
  if (hr != S_OK)
    message.reset();
  return message;
}

// Reads the record's status and flags again from the store. A message that
// cannot be opened leaves them as they were.
void refreshRecord(MessageInfo *record)
{
  try {
    ComRef<IMessage> message = openMessage(record->entryIdSize, record->entryId);
    if (!message)
      return;
    record->messageFlags = static_cast<std::uint32_t>(getLong(message.get(), PR_MESSAGE_FLAGS));
    record->status = static_cast<std::uint32_t>(getLong(message.get(), PR_MSG_STATUS));
  } catch (...) {
    // Opening raised: as a failed open.
  }
}

// Fills a new record from its open message, in the order the fields are read.
void readRecord(MessageInfo *record, IMessage *message)
{
  record->size = getLong(message, PR_MESSAGE_SIZE_CE);
  record->messageFlags = static_cast<std::uint32_t>(getLong(message, PR_MESSAGE_FLAGS));
  record->status = static_cast<std::uint32_t>(getLong(message, PR_MSG_STATUS));
  record->ageMinutes = getMinutesSince(message, PR_MESSAGE_DELIVERY_TIME);
  record->hasAttachments = getBool(message, PR_HASATTACH) ? 1 : 0;
  getString(message, PR_SENDER_NAME, record->senderName, MESSAGE_TEXT_CHARS);
  stripToAddress(getString(message, PR_SENDER_EMAIL_ADDRESS, record->senderAddress, MESSAGE_TEXT_CHARS));
  stripToAddress(getString(message, PR_DISPLAY_TO, record->toLine, MESSAGE_TEXT_CHARS));
  stripToAddress(getString(message, PR_DISPLAY_CC, record->ccLine, MESSAGE_TEXT_CHARS));
  getString(message, PR_SUBJECT, record->messageSubject, MESSAGE_TEXT_CHARS);
  record->headersParsed = 0;
  record->lastSeen = 0;
  record->lastSoundTick = 0;
}

// Drops the records not seen for too long, except the one being looked up
// and those in progress; the caller holds recordLock.
void dropStaleRecords(StoreWatcher *watcher, DWORD now, ULONG size, const BYTE *id)
{
  auto keep = [&](const MessageInfo *r) {
    return hasEntryId(r, size, id) || isInProgress(watcher, r->entryIdSize, r->entryId);
  };
  for (MessageInfo *stale : cacheTakeStale(&watcher->records, now, RECORD_STALE_MS, keep)) {
    markCheckpoint(22);
    freeMessageInfo(stale);
  }
}

// Copies the best rule for the record into *chosen. False when no rule wins.
bool chooseRule(StoreWatcher *watcher, MessageInfo *record, Rule *chosen)
{
  const WCHAR *storeName = storeDisplayName(watcher);
  const Rule *best = nullptr;
  int bestScore = 1;
  for (const Rule *rule = ruleList; rule; rule = rule->next) {
    if (!rule->enabled)
      continue;
    if (rule->mailbox[0] && (!storeName || wstrCmp(storeName, rule->mailbox) != 0))
      continue;
    int score = matchRule(record, rule);
    if (score >= bestScore) {
      markCheckpoint(49);
      best = rule;
      bestScore = score;
    }
  }
  if (!best)
    return false;
  *chosen = *best;
  chosen->next = nullptr;
  return true;
}

// Ends the caller's in-progress entry for the record, and drops the record
// when its message is gone, or refreshes it when a notification asked for
// that meanwhile. Both under recordLock, so that no one else can have taken
// the record between the end of the entry and its removal.
void endClaim(StoreWatcher *watcher, MessageInfo *record, bool gone)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  bool refresh = endProgress(watcher, record->entryIdSize, record->entryId);
  markCheckpoint(51);
  if (gone) {
    markCheckpoint(52);
    if (cacheUnlink(&watcher->records, record))
      freeMessageInfo(record);
  } else if (refresh) {
    refreshRecord(record);
  }
}

// Applies the rules to a record whose in-progress entry the caller holds.
void applyClaimed(StoreWatcher *watcher, LPMAPIFOLDER folder, MessageInfo *record)
{
  markCheckpoint(30);
  bool gone = false;
  try {
    Rule chosen;
    if (chooseRule(watcher, record, &chosen)) {
      markCheckpoint(53);
      ActionContext context{watcher, folder, record, &chosen, GetTickCount()};
      runRuleActions(&context);
      gone = context.gone;
    }
  } catch (...) {
    gone = true; // a failure inside the actions drops the record; the pass goes on
  }
  endClaim(watcher, record, gone);
}

void revisitWalk(StoreWatcher *watcher, IMAPIFolder *inbox)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  if (watcher->walking)
    return; // this thread's own walk is under way further up the stack
  WalkMark mark(watcher);
  DWORD now = GetTickCount();
  // The list front to back, by its slots. The next slot stays valid: only
  // this record can leave the cache while the walk holds recordLock.
  for (RecordSlot *slot = watcher->records.firstSlot; slot;) {
    RecordSlot *after = slot->after;
    MessageInfo *record = slot->record;
    cacheMarkSlotSeen(&watcher->records, slot, now);
    // A record in progress belongs to its owner until it ends.
    if (!isInProgress(watcher, record->entryIdSize, record->entryId)) {
      fillRecipientsFromHeaders(record, nullptr);
      applyRules(watcher, inbox, record);
    }
    slot = after;
  }
}

void fullScan(StoreWatcher *watcher, IMAPIFolder *inbox)
{
  ComRef<IMAPITable> table;
  if (inbox->GetContentsTable(0, table.put()) != S_OK || !table)
    return;
  markCheckpoint(18);
  for (;;) {
    RowSetHold rows;
    if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
      return;
    markCheckpoint(19);
    ULONG size = 0;
    LPENTRYID id = nullptr;
    if (rowEntryId(rows.get(), &size, &id))
      processMessage(watcher, inbox, size, reinterpret_cast<const BYTE *>(id), false);
  }
}

void runCycle(StoreWatcher *watcher, bool full)
{
  try {
    ComRef<IMAPIFolder> inbox;
    HRESULT hr = watcher->store->OpenEntry(watcher->inboxIdSize, watcher->inboxId, nullptr, 0, nullptr,
                                           inbox.putUnknown());
    if (hr != S_OK || !inbox)
      return;
    markCheckpoint(15);
    if (full) {
      markCheckpoint(17);
      fullScan(watcher, inbox.get());
    } else {
      markCheckpoint(16);
      revisitWalk(watcher, inbox.get());
    }
  } catch (...) {
    // A store call raised: the cycle ends as if it had failed.
  }
}

} // namespace

void revisitAllStores()
{
  for (WatcherNode *node = watcherList; node; node = node->next)
    runPass(node->watcher, true);
}

void runPass(StoreWatcher *watcher, bool revisitOnly)
{
  watcher->busy.fetch_add(1);
  markCheckpoint(12);
  bool full = !revisitOnly;
  for (;;) {
    markCheckpoint(13);
    // Only watcher set-up asks for another cycle, and it wants a full scan.
    if (watcher->rerunRequested.exchange(0))
      full = true;
    markCheckpoint(14);
    if (!session)
      break;
    runCycle(watcher, full);
    if (watcher->rerunRequested.load())
      continue;
    watcher->busy.fetch_sub(1);
    // A request made after the test above, while this pass still counted as
    // busy, relied on it: take it up.
    if (!watcher->rerunRequested.load())
      return;
    watcher->busy.fetch_add(1);
  }
  watcher->busy.fetch_sub(1);
}

MessageInfo *findOrCreateRecord(StoreWatcher *watcher, ULONG size, const BYTE *id, bool refresh)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  markCheckpoint(20);
  DWORD now = GetTickCount();
  // Within this thread's own walk, records the walk still has to visit stay.
  if (!watcher->walking)
    dropStaleRecords(watcher, now, size, id);
  if (MessageInfo *found = cacheFind(&watcher->records, size, id)) {
    markCheckpoint(21);
    if (refresh && !requestRefresh(watcher, size, id))
      refreshRecord(found);
    cacheMarkSeen(&watcher->records, found, now);
    markCheckpoint(25);
    return found;
  }
  markCheckpoint(23);
  ComRef<IMessage> message;
  try {
    message = openMessage(size, id);
  } catch (...) {
    message.reset(); // opening raised: as a failed open
  }
  if (!message) {
    markCheckpoint(25);
    return nullptr;
  }
  markCheckpoint(24);
  MessageInfo *record = newMessageInfo(size, id);
  if (!record)
    return nullptr;
  readRecord(record, message.get());
  fillRecipientsFromHeaders(record, message.get());
  bool cached = false;
  try {
    cached = cachePush(&watcher->records, record, now);
  } catch (...) {
    cached = false; // out of memory: not recorded, tried again later
  }
  if (!cached) {
    freeMessageInfo(record);
    return nullptr;
  }
  message.reset();
  markCheckpoint(25);
  return record;
}

void applyRules(StoreWatcher *watcher, LPMAPIFOLDER folder, MessageInfo *record)
{
  if (!record || !claimProgress(watcher, record->entryIdSize, record->entryId))
    return;
  applyClaimed(watcher, folder, record);
}

void processMessage(StoreWatcher *watcher, LPMAPIFOLDER folder, ULONG size, const BYTE *id,
                    bool refresh)
{
  MessageInfo *record;
  {
    CriticalSectionGuard guard(&watcher->recordLock);
    record = findOrCreateRecord(watcher, size, id, refresh);
    if (!record || !claimProgress(watcher, record->entryIdSize, record->entryId))
      return;
  }
  applyClaimed(watcher, folder, record);
}
