#include "engine/actions.h"

#include "services/checkpoint.h"
#include "services/resources.h"
#include "services/settings.h"
#include "services/string_ids.h"
#include "engine/action_plan.h"
#include "engine/folder_index.h"
#include "engine/session.h"
#include "platform/mapi/mapitags.h"
#include "platform/shell/msgbox.h"
#include "platform/shell/shell.h"
#include "platform/window/display.h"
#include "platform/text/wstr.h"
#include "rules/known_users.h"
#include "rules/read_age.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

// Status bits cleared when a download is requested.
constexpr ULONG DOWNLOAD_STATE_BITS = MSGSTATUS_PARTIAL_DOWNLOAD | MSGSTATUS_REMOTE_DOWNLOAD_HEADER;

// Opens the message for the writing steps, once. False when it cannot be opened.
bool openActionObject(ActionContext *ctx)
{
  if (!ctx->actionObject)
    ctx->actionObject = openMessageById(ctx->record->entryIdSize, ctx->record->entryId);
  return static_cast<bool>(ctx->actionObject);
}

// Notes what an action did, when the decision log is on.
void note(ActionContext *ctx, const std::string &phrase)
{
  if (ctx->notes)
    ctx->notes->add(phrase);
}

void note(ActionContext *ctx, const char *phrase, const WCHAR *what)
{
  if (ctx->notes)
    ctx->notes->add(phrase, what);
}

// Says once per folder name on standard error that a rule's folder can be
// neither found nor made (a name too long for the file system, say): the
// move is tried again at every revisit, and nobody would hear of it.
void reportFolderRefused(const WCHAR *moveTo)
{
  static std::mutex lock;
  static std::set<std::u16string> said;
  std::lock_guard<std::mutex> guard(lock);
  if (!said.insert(moveTo).second)
    return;
  // Said from a notification thread too: never over a screen the display shows.
  displayWriteLine("Brindlewick: no folder \"" + utf16ToUtf8(moveTo) +
                   "\" can be found or made; the messages of its rule stay where they are\n");
}

// Writes one 32-bit value to the message. True when the store took it: the
// call succeeds and names no problem with the value (a store refuses values
// one by one in the problem array of a call that succeeds).
bool writeLong(ActionContext *ctx, ULONG tag, ULONG value)
{
  SPropValue prop{};
  prop.ulPropTag = tag;
  prop.Value.ul = value;
  MapiBuffer<SPropProblemArray> problems;
  return ctx->actionObject->SetProps(1, &prop, problems.put()) == S_OK &&
         (!problems || problems->cProblem == 0);
}

// Sets a field of the record and writes it to the message. A write the
// store refuses leaves the field as it was, so that the next evaluation
// tries again instead of taking the message for changed. True when taken.
bool writeField(ActionContext *ctx, ULONG tag, std::uint32_t *field, std::uint32_t value)
{
  std::uint32_t before = *field;
  *field = value;
  if (writeLong(ctx, tag, value))
    return true;
  *field = before;
  return false;
}

void playSound(ActionContext *ctx)
{
  MessageInfo *m = ctx->record;
  if (!ctx->rule->playSound[0] || static_cast<DWORD>(ctx->now - m->lastSoundTick) <= SOUND_INTERVAL_MS)
    return;
  m->lastSoundTick = ctx->now;
  (void)PlaySoundW(ctx->rule->playSound, nullptr, SND_FILENAME | SND_ASYNC); // a missing sound is no error
  note(ctx, "played", ctx->rule->playSound);
}

void downloadStage(ActionContext *ctx)
{
  MessageInfo *m = ctx->record;
  if (ctx->rule->download) {
    markCheckpoint(54);
    if (!requestsDownload(m, ctx->rule))
      return;
    markCheckpoint(59);
    if (!openActionObject(ctx)) {
      note(ctx, "download not requested: the message cannot be opened");
      return;
    }
    playSound(ctx);
    markCheckpoint(60);
    bool marked =
        writeField(ctx, PR_MSG_STATUS, &m->status, (m->status & ~DOWNLOAD_STATE_BITS) | MSGSTATUS_REMOTE_DOWNLOAD);
    note(ctx, marked ? "requested the download" : "download request refused by the store");
    if (isReadMessage(m)) {
      markCheckpoint(63);
      writeField(ctx, PR_MESSAGE_FLAGS, &m->messageFlags, m->messageFlags & ~MSGFLAG_READ);
    }
    markCheckpoint(61);
    forgetReadAge(m->entryIdSize, m->entryId);
    markCheckpoint(62);
  } else {
    markCheckpoint(55);
    if (!withdrawsDownload(m, ctx->rule))
      return;
    markCheckpoint(64);
    if (!openActionObject(ctx)) {
      note(ctx, "download mark not withdrawn: the message cannot be opened");
      return;
    }
    markCheckpoint(65);
    note(ctx, writeField(ctx, PR_MSG_STATUS, &m->status, m->status & ~MSGSTATUS_REMOTE_DOWNLOAD)
                  ? "withdrew the download mark"
                  : "withdrawing the download mark refused by the store");
  }
}

void markReadStage(ActionContext *ctx)
{
  MessageInfo *m = ctx->record;
  markCheckpoint(56);
  if (!ctx->rule->markAsRead)
    return;
  markCheckpoint(66);
  if (isReadMessage(m))
    return;
  markCheckpoint(67);
  if (!openActionObject(ctx)) {
    note(ctx, "not marked as read: the message cannot be opened");
    return;
  }
  markCheckpoint(68);
  note(ctx, writeField(ctx, PR_MESSAGE_FLAGS, &m->messageFlags, m->messageFlags | MSGFLAG_READ)
                ? "marked as read"
                : "marking as read refused by the store");
}

// Moves the message out of the folder that holds it; the store's result.
HRESULT moveMessage(ActionContext *ctx, IMAPIFolder *destination)
{
  MessageInfo *m = ctx->record;
  SBinary id{m->entryIdSize, m->entryId};
  ENTRYLIST list{1, &id};
  return ctx->folder->CopyMessages(&list, nullptr, destination, 0, nullptr, MESSAGE_MOVE);
}

// The entry id bytes of a binary property of obj, or empty.
std::vector<BYTE> readId(IMAPIProp *obj, ULONG tag)
{
  MapiBuffer<SPropValue> value;
  if (!readOneProp(obj, tag, &value) || !value->Value.bin.lpb)
    return {};
  return std::vector<BYTE>(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb);
}

// After a failed move: whether the message had already left the folder it
// was to be taken from (moved or deleted by someone else, or by this engine
// in answer to an earlier notification), so that nothing was refused. When
// that cannot be told, the move counts as refused.
bool hadLeftFolder(ActionContext *ctx)
{
  if (!openActionObject(ctx))
    return true; // the message no longer opens: it was deleted
  std::vector<BYTE> parent = readId(ctx->actionObject.get(), PR_PARENT_ENTRYID);
  std::vector<BYTE> folder = readId(ctx->folder, PR_ENTRYID);
  return !parent.empty() && !folder.empty() && parent != folder;
}

void moveStep(ActionContext *ctx)
{
  MessageInfo *m = ctx->record;
  markCheckpoint(70);
  ComRef<IMAPIFolder> destination(openTargetFolder(ctx->watcher, ctx->rule->moveTo, ctx->rule->isRead == 0));
  if (!destination) {
    note(ctx, "not moved: no folder can be found or made for", ctx->rule->moveTo);
    reportFolderRefused(ctx->rule->moveTo);
    return;
  }
  markCheckpoint(73);
  forgetReadAge(m->entryIdSize, m->entryId);
  HRESULT hr = moveMessage(ctx, destination.get());
  destination.reset();
  ctx->gone = true;
  if (hr != S_OK) {
    if (hadLeftFolder(ctx)) {
      note(ctx, "not moved: the message had left the Inbox already");
      return; // nothing to report, and no move of this engine to count
    }
    note(ctx, "the store refused the move to", ctx->rule->moveTo);
    static const WCHAR *cannotCopy = nullptr;
    (void)MessageBoxW(nullptr, loadString(IDS_CANNOT_COPY, &cannotCopy), nullptr, MB_OK); // only OK
  }
  if (hr == S_OK)
    note(ctx, "moved to", ctx->rule->moveTo);
  addKnownUser(m->senderAddress, false);
}

void deleteStep(ActionContext *ctx)
{
  MessageInfo *m = ctx->record;
  if (isMarkedForDownload(m)) {
    note(ctx, "not deleted while marked for download");
    return;
  }
  markCheckpoint(71);
  if (isPartial(m)) {
    markCheckpoint(74);
    if (openActionObject(ctx)) {
      markCheckpoint(75);
      (void)writeLong(ctx, PR_MSG_STATUS, m->status & ~MSGSTATUS_REMOTE_DOWNLOAD); // the record is not marked
    }
  }
  markCheckpoint(72);
  OneTag tag(PR_IPM_WASTEBASKET_ENTRYID);
  ULONG count = 0;
  MapiBuffer<SPropValue> value;
  if (ctx->watcher->store->GetProps(tag.get(), MAPI_UNICODE, &count, value.put()) != S_OK || !value ||
      count == 0) {
    note(ctx, "not deleted: the store names no deleted-items folder");
    return;
  }
  markCheckpoint(76);
  if (value->ulPropTag != PR_IPM_WASTEBASKET_ENTRYID || !session) {
    note(ctx, "not deleted: the store names no deleted-items folder");
    return;
  }
  markCheckpoint(77);
  ComRef<IMAPIFolder> wastebasket;
  HRESULT hr = session->OpenEntry(value->Value.bin.cb, reinterpret_cast<LPENTRYID>(value->Value.bin.lpb),
                                  nullptr, 0, nullptr, wastebasket.putUnknown());
  if (hr != S_OK || !wastebasket) {
    note(ctx, "not deleted: the deleted-items folder cannot be opened");
    return;
  }
  markCheckpoint(78);
  forgetReadAge(m->entryIdSize, m->entryId);
  // A failed delete is not reported to the user; only the log tells it.
  note(ctx, moveMessage(ctx, wastebasket.get()) == S_OK ? "deleted" : "the store refused the delete");
  ctx->gone = true;
}

void moveOrDeleteStage(ActionContext *ctx)
{
  markCheckpoint(57);
  if (!ctx->rule->moveTo[0])
    return;
  playSound(ctx);
  markCheckpoint(69);
  if (wstrCmp(ctx->rule->moveTo, DELETE_MARKER) == 0)
    deleteStep(ctx);
  else
    moveStep(ctx);
}

void executeStage(ActionContext *ctx)
{
  markCheckpoint(58);
  if (!ctx->rule->execute[0])
    return;
  playSound(ctx);
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.lpFile = ctx->rule->execute;
  // A program that cannot start is not reported to the user; only the log tells it.
  if (ShellExecuteEx(&info))
    note(ctx, "started", ctx->rule->execute);
  else
    note(ctx, "could not start", ctx->rule->execute);
}

} // namespace

void runRuleActions(ActionContext *ctx)
{
  downloadStage(ctx);
  if (waitsForDownload(ctx->record, ctx->rule))
    return; // waiting for the download: a later evaluation goes on
  markReadStage(ctx);
  moveOrDeleteStage(ctx);
  executeStage(ctx);
}
