#include "engine/pass.h"

#include "services/checkpoint.h"
#include "engine/actions.h"
#include "engine/address.h"
#include "engine/decision_log.h"
#include "engine/in_progress.h"
#include "engine/mapi_refs.h"
#include "engine/props.h"
#include "engine/recipients.h"
#include "engine/rule_choice.h"
#include "engine/session.h"
#include "engine/settled.h"
#include "platform/clock/clock.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"
#include "platform/window/signals.h"
#include "rules/known_users.h"
#include "rules/match.h"
#include "rules/rule_list.h"

#include <cstring>
#include <malloc.h>

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

// Reads the record's status and flags again from the store, after the store
// reported a change. False when the message could not be opened or a read
// failed (the fields are then as they were).
bool rereadStatusAndFlags(MessageInfo *record)
{
  try {
    ComRef<IMessage> message = openMessageById(record->entryIdSize, record->entryId);
    if (!message)
      return false;
    bool failed = false;
    std::uint32_t flags = static_cast<std::uint32_t>(getLong(message.get(), PR_MESSAGE_FLAGS, &failed));
    std::uint32_t status = static_cast<std::uint32_t>(getLong(message.get(), PR_MSG_STATUS, &failed));
    if (failed)
      return false;
    record->messageFlags = flags;
    record->status = status;
    return true;
  } catch (...) {
    return false; // opening raised: as a failed open
  }
}

// What reading a record's properties found beside its fields.
struct RecordRead {
  bool failed = false;          // a read failed: the record is incomplete
  bool hasDeliveryTime = false; // the message has a delivery time
  ULONGLONG deliveryTime = 0;   // which
};

// Fills a record from its open message, in the order the fields are read;
// texts and numbers start empty.
RecordRead readRecord(MessageInfo *record, IMessage *message)
{
  RecordRead read;
  bool *failed = &read.failed;
  record->size = getLong(message, PR_MESSAGE_SIZE_CE, failed);
  record->messageFlags = static_cast<std::uint32_t>(getLong(message, PR_MESSAGE_FLAGS, failed));
  record->status = static_cast<std::uint32_t>(getLong(message, PR_MSG_STATUS, failed));
  read.hasDeliveryTime = getTime(message, PR_MESSAGE_DELIVERY_TIME, &read.deliveryTime, failed);
  record->ageMinutes = read.hasDeliveryTime ? minutesSince(read.deliveryTime) : 0;
  record->hasAttachments = getBool(message, PR_HASATTACH, failed) ? 1 : 0;
  for (WCHAR *text : {record->senderName, record->senderAddress, record->toLine, record->ccLine,
                      record->messageSubject})
    text[0] = 0;
  getString(message, PR_SENDER_NAME, record->senderName, MESSAGE_TEXT_CHARS, failed);
  stripToAddress(getString(message, PR_SENDER_EMAIL_ADDRESS, record->senderAddress, MESSAGE_TEXT_CHARS, failed));
  stripToAddress(getString(message, PR_DISPLAY_TO, record->toLine, MESSAGE_TEXT_CHARS, failed));
  stripToAddress(getString(message, PR_DISPLAY_CC, record->ccLine, MESSAGE_TEXT_CHARS, failed));
  getString(message, PR_SUBJECT, record->messageSubject, MESSAGE_TEXT_CHARS, failed);
  record->headersParsed = 0;
  return read;
}

void noteRead(RecordSlot *slot, const RecordRead &read)
{
  slot->incomplete = read.failed;
  slot->hasDeliveryTime = read.hasDeliveryTime;
  slot->deliveryTime = read.deliveryTime;
}

// Rereads what is due of a cached record before it is scored again: all of
// it when its properties could not all be read, its status and flags when a
// reported change is still to be read (rereadStatusAndFlags), and always its
// age from the delivery time. The caller holds recordLock and the record is
// not in progress.
void rereadWhatIsDue(RecordSlot *slot)
{
  MessageInfo *record = slot->record;
  if (slot->incomplete) {
    try {
      ComRef<IMessage> message = openMessageById(record->entryIdSize, record->entryId);
      if (message) {
        noteRead(slot, readRecord(record, message.get()));
        fillRecipientsFromHeaders(record, message.get());
        slot->refreshWanted = false;
        unsettle(slot);
      }
    } catch (...) {
      // Opening raised: tried again next time.
    }
  }
  if (slot->refreshWanted && rereadStatusAndFlags(record)) {
    slot->refreshWanted = false;
    unsettle(slot);
  }
  if (slot->hasDeliveryTime)
    record->ageMinutes = minutesSince(slot->deliveryTime);
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

// Copies the best rule for the record into *chosen, and its number in the
// list into *position. False when no rule wins. What could make a failed
// rule hold later goes to *outlook.
bool chooseRule(StoreWatcher *watcher, MessageInfo *record, Rule *chosen, std::size_t *position,
                MatchOutlook *outlook)
{
  const Rule *best = bestRule(storeDisplayName(watcher), record, position, outlook);
  if (!best)
    return false;
  *chosen = *best;
  chosen->next = nullptr;
  return true;
}

// Ends the caller's in-progress entry for the record, and drops the record
// when its message is gone, or else remembers the verdict and refreshes the
// record when a notification asked for that meanwhile. All under recordLock,
// so that no one else can have taken the record between the end of the
// entry and its removal. slot is the record's slot when the caller has it
// (a record in progress keeps its slot), else null.
void endClaim(StoreWatcher *watcher, MessageInfo *record, RecordSlot *slot, bool gone, const Verdict &verdict)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  bool refresh = endProgress(watcher, record->entryIdSize, record->entryId);
  markCheckpoint(51);
  if (!slot)
    slot = cacheSlotOf(&watcher->records, record);
  if (slot && slot->leftInbox)
    gone = true; // left the Inbox behind the actions' back
  if (gone) {
    markCheckpoint(52);
    if (cacheUnlink(&watcher->records, record))
      freeMessageInfo(record);
    return;
  }
  if (!slot)
    return;
  noteVerdict(slot, verdict);
  if (refresh) {
    slot->refreshWanted = true;
    rereadWhatIsDue(slot);
  }
}

// Applies the rules to a record whose in-progress entry the caller holds;
// slot as for endClaim. epoch is the walk's settle epoch, 0 outside a walk.
// True when the actions ran and the message is gone.
bool applyClaimed(StoreWatcher *watcher, LPMAPIFOLDER folder, MessageInfo *record, RecordSlot *slot,
                  std::uint32_t epoch)
{
  markCheckpoint(30);
  bool gone = false;
  Verdict verdict;
  verdict.epoch = epoch;
  verdict.knownUsers = knownUsersGeneration();
  try {
    // The log shows the message's texts as they were before matching
    // lower-cased them.
    DecisionMessage logged;
    if (decisionLogOn)
      logged = decisionMessageOf(record);
    Rule chosen;
    std::size_t position = 0;
    verdict.won = chooseRule(watcher, record, &chosen, &position, &verdict.outlook);
    if (verdict.won) {
      markCheckpoint(53);
      noteWinner(&verdict, record, &chosen);
      ActionContext context{watcher, folder, record, &chosen, GetTickCount()};
      DecisionNotes notes;
      if (decisionLogOn)
        context.notes = &notes;
      runRuleActions(&context);
      gone = context.gone;
      if (!notes.text.empty())
        logDecision(storeDisplayName(watcher), logged, position, &chosen, notes);
    }
  } catch (...) {
    gone = true; // a failure inside the actions drops the record; the pass goes on
  }
  endClaim(watcher, record, slot, gone, verdict);
  return gone;
}

void revisitWalk(StoreWatcher *watcher, IMAPIFolder *inbox)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  if (watcher->walking)
    return; // this thread's own walk is under way further up the stack
  WalkMark mark(watcher);
  retakeSettleKey(&watcher->settle);
  DWORD now = GetTickCount();
  // The list front to back, by its slots. The next slot stays valid: only
  // this record can leave the cache while the walk holds recordLock.
  for (RecordSlot *slot = watcher->records.first; slot && !passesStopping();) {
    RecordSlot *after = slot->after;
    MessageInfo *record = slot->record;
    cacheMarkSeen(&watcher->records, slot, now);
    // A record in progress belongs to its owner until it ends.
    if (isInProgress(watcher, record->entryIdSize, record->entryId)) {
      slot = after;
      continue;
    }
    if (slot->leftInbox) {
      cacheUnlink(&watcher->records, record);
      freeMessageInfo(record);
    } else {
      rereadWhatIsDue(slot);
      bool hadRecipients = record->headersParsed;
      fillRecipientsFromHeaders(record, nullptr);
      if (!hadRecipients && record->headersParsed)
        unsettle(slot);
      if (!isSettled(watcher->settle, slot))
        applyRules(watcher, inbox, slot);
    }
    slot = after;
  }
  retakeSettleKey(&watcher->settle);
}

void fullScan(StoreWatcher *watcher, IMAPIFolder *inbox)
{
  ComRef<IMAPITable> table;
  if (inbox->GetContentsTable(0, table.put()) != S_OK || !table)
    return;
  // The scan needs only the entry ids; the default columns would have the
  // store read every message's text for its subject here, before the
  // record reads it again. A table that keeps its columns still gives the
  // entry id first.
  SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
  (void)table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0);
  markCheckpoint(18);
  while (!passesStopping()) {
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
      // What the scan needed only while it ran (the contents table, the
      // store's listing of the folder) lies between the records it made:
      // its pages go back to the system instead of staying with the
      // program as long as the records do.
      (void)malloc_trim(0);
    } else {
      markCheckpoint(16);
      revisitWalk(watcher, inbox.get());
    }
  } catch (...) {
    // A store call raised: the cycle ends as if it had failed.
  }
}

} // namespace

bool passesStopping() { return sessionClosing.load() || terminationRequested(); }

void revisitAllStores()
{
  watchNewStores();
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
    if (!session || passesStopping())
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

namespace {

// The cached record of the message, looked up as findOrCreateRecord does, or
// null when it is not cached. The caller holds recordLock.
MessageInfo *findCachedRecord(StoreWatcher *watcher, ULONG size, const BYTE *id, bool refresh)
{
  markCheckpoint(20);
  DWORD now = GetTickCount();
  // Within this thread's own walk, records the walk still has to visit stay.
  if (!watcher->walking)
    dropStaleRecords(watcher, now, size, id);
  RecordSlot *slot = cacheFind(&watcher->records, size, id);
  if (!slot)
    return nullptr;
  markCheckpoint(21);
  slot->leftInbox = false; // looked up in the Inbox again: back, or never gone
  if (isInProgress(watcher, size, id)) {
    // Its owner refreshes it when it ends (it cannot end meanwhile: that
    // takes recordLock).
    if (refresh)
      requestRefresh(watcher, size, id);
  } else {
    slot->refreshWanted |= refresh;
    rereadWhatIsDue(slot);
  }
  cacheMarkSeen(&watcher->records, slot, now);
  markCheckpoint(25);
  return slot->record;
}

// A new record read from the store, not yet in the cache.
struct FreshRecord {
  MessageInfo *record = nullptr; // null when the message could not be opened or memory ran out
  RecordRead read;               // what reading it found
};

// Opens the message and reads a new record of it; needs no lock and lets no
// exception out.
FreshRecord readFreshRecord(ULONG size, const BYTE *id)
{
  markCheckpoint(23);
  FreshRecord fresh;
  try {
    ComRef<IMessage> message = openMessageById(size, id);
    if (!message)
      return fresh;
    markCheckpoint(24);
    fresh.record = newMessageInfo(size, id);
    if (!fresh.record)
      return fresh;
    fresh.read = readRecord(fresh.record, message.get());
    fillRecipientsFromHeaders(fresh.record, message.get());
  } catch (...) {
    // Opening or reading raised: as a failed open.
    freeMessageInfo(fresh.record);
    fresh.record = nullptr;
  }
  return fresh;
}

// Puts a fresh record into the cache and returns it; the caller holds
// recordLock and has made sure the message is not cached. Null (the record
// freed) when memory runs out: the message is tried again later.
MessageInfo *adoptFreshRecord(StoreWatcher *watcher, const FreshRecord &fresh)
{
  RecordSlot *slot = nullptr;
  try {
    slot = cachePush(&watcher->records, fresh.record, GetTickCount());
  } catch (...) {
    slot = nullptr;
  }
  if (!slot) {
    freeMessageInfo(fresh.record);
    return nullptr;
  }
  noteRead(slot, fresh.read);
  markCheckpoint(25);
  return fresh.record;
}

// The record of the message, cached, or read from the store with recordLock
// left meanwhile, so that notifications about other messages are not held up
// by this one's file. The caller holds recordLock once; it holds it again on
// return. Null when the message cannot be read, or left the Inbox while it
// was read (forgetRecord marks the pending read).
MessageInfo *findOrReadRecord(StoreWatcher *watcher, ULONG size, const BYTE *id, bool refresh)
{
  if (MessageInfo *cached = findCachedRecord(watcher, size, id, refresh))
    return cached;
  PendingRead pending{size, id, false};
  watcher->pendingReads.push_back(&pending);
  LeaveCriticalSection(&watcher->recordLock);
  FreshRecord fresh = readFreshRecord(size, id);
  EnterCriticalSection(&watcher->recordLock);
  std::erase(watcher->pendingReads, &pending);
  if (!fresh.record)
    return nullptr;
  if (pending.leftInbox) {
    freeMessageInfo(fresh.record);
    return nullptr;
  }
  // Another thread may have read the same message meanwhile: its record stays.
  if (MessageInfo *cached = findCachedRecord(watcher, size, id, refresh)) {
    freeMessageInfo(fresh.record);
    return cached;
  }
  return adoptFreshRecord(watcher, fresh);
}

} // namespace

MessageInfo *findOrCreateRecord(StoreWatcher *watcher, ULONG size, const BYTE *id, bool refresh)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  if (MessageInfo *cached = findCachedRecord(watcher, size, id, refresh))
    return cached;
  FreshRecord fresh = readFreshRecord(size, id);
  if (!fresh.record) {
    markCheckpoint(25);
    return nullptr;
  }
  return adoptFreshRecord(watcher, fresh);
}

MessageInfo *newRecordOf(ULONG size, const BYTE *id, IMessage *message)
{
  MessageInfo *record = newMessageInfo(size, id);
  if (!record)
    return nullptr;
  (void)readRecord(record, message); // what could not be read stays empty
  fillRecipientsFromHeaders(record, message);
  return record;
}

void applyRules(StoreWatcher *watcher, LPMAPIFOLDER folder, RecordSlot *slot)
{
  MessageInfo *record = slot ? slot->record : nullptr;
  if (!record || !claimProgress(watcher, record->entryIdSize, record->entryId))
    return;
  // The only dialog the actions show is the one of a refused move, which
  // leaves the record gone; the rules may have been edited meanwhile.
  if (applyClaimed(watcher, folder, record, slot, watcher->settle.epoch))
    retakeSettleKey(&watcher->settle);
}

void forgetRecord(StoreWatcher *watcher, ULONG size, const BYTE *id)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  RecordSlot *slot = cacheFind(&watcher->records, size, id);
  if (!slot) {
    for (PendingRead *pending : watcher->pendingReads)
      if (pending->size == size && std::memcmp(pending->id, id, size) == 0)
        pending->leftInbox = true;
    return;
  }
  // Within this thread's own walk the record may be the next one the walk
  // visits: the walk drops it itself.
  if (watcher->walking || isInProgress(watcher, size, id)) {
    slot->leftInbox = true;
    return;
  }
  MessageInfo *record = slot->record;
  cacheUnlink(&watcher->records, record);
  freeMessageInfo(record);
}

void processMessage(StoreWatcher *watcher, LPMAPIFOLDER folder, ULONG size, const BYTE *id,
                    bool refresh)
{
  MessageInfo *record;
  {
    CriticalSectionGuard guard(&watcher->recordLock);
    record = findOrReadRecord(watcher, size, id, refresh);
    if (!record || !claimProgress(watcher, record->entryIdSize, record->entryId))
      return;
  }
  applyClaimed(watcher, folder, record, nullptr, 0);
}
