#include "tools/rulestool/explain.h"

#include "app/contacts_import.h"
#include "engine/action_plan.h"
#include "engine/mapi_refs.h"
#include "engine/pass.h"
#include "engine/rule_choice.h"
#include "engine/session.h"
#include "platform/fs/datapath.h"
#include "platform/maildir/entry_id.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapitags.h"
#include "platform/mapi/mapix.h"
#include "platform/pim/pimserver.h"
#include "platform/text/wstr.h"
#include "rules/describe.h"
#include "rules/rule_list.h"
#include "services/settings.h"
#include "tools/rulestool/commands.h"
#include "tools/storetool/tool_session.h"

#include <ostream>

namespace {

std::string utf8(const WCHAR *text) { return utf16ToUtf8(text); }

// A messaging session of the tool's own on a provider that neither watches
// the stores nor completes downloads, so that looking changes nothing.
class ReadOnlySession {
public:
  ReadOnlySession()
  {
    provider_ = createMaildirProvider(MaildirOptions{false, false, false});
    MAPISetProvider(provider_);
    if (MAPIInitialize(nullptr) != S_OK)
      return;
    started_ = true;
    if (MAPILogonEx(0, nullptr, nullptr, 0, &session_) != S_OK)
      session_ = nullptr;
  }
  ~ReadOnlySession()
  {
    if (session_) {
      (void)session_->Logoff(0, 0, 0);
      session_->Release();
    }
    if (started_)
      MAPIUninitialize();
    MAPISetProvider(nullptr);
    destroyMaildirProvider(provider_);
  }
  ReadOnlySession(const ReadOnlySession &) = delete;
  ReadOnlySession &operator=(const ReadOnlySession &) = delete;

  LPMAPISESSION get() const { return session_; }

private:
  MapiProvider *provider_ = nullptr; // the provider table
  bool started_ = false;             // MAPIInitialize succeeded
  LPMAPISESSION session_ = nullptr;  // the session, null when logon failed
};

// One store as the program's watcher knows it.
struct StoreView {
  ComRef<IMsgStore> store;   // the open store
  std::u16string name;       // PR_DISPLAY_NAME, empty when unreadable
  std::string nameUtf8;      // the same in UTF-8
  bool named = false;        // the name could be read
  std::vector<BYTE> inboxId; // the receive folder's entry id
};

std::vector<StoreView> openStores(LPMAPISESSION session)
{
  std::vector<StoreView> stores;
  forEachStore(session, [&](ComRef<IMsgStore> store) {
    StoreView view;
    view.store = std::move(store);
    MapiBuffer<SPropValue> name;
    if (readOneProp(view.store.get(), PR_DISPLAY_NAME, &name) && name->Value.lpszW) {
      view.name = name->Value.lpszW;
      view.nameUtf8 = utf16ToUtf8(view.name);
      view.named = true;
    }
    ULONG inboxSize = 0;
    MapiBuffer<ENTRYID> inbox;
    if (view.store->GetReceiveFolder(nullptr, MAPI_UNICODE, &inboxSize, inbox.put(), nullptr) == S_OK && inbox) {
      const BYTE *b = reinterpret_cast<const BYTE *>(inbox.get());
      view.inboxId.assign(b, b + inboxSize);
    }
    stores.push_back(std::move(view));
  });
  return stores;
}

// The entry ids of a folder's messages, in contents-table order.
std::vector<std::vector<BYTE>> folderMessages(IMsgStore *store, const std::vector<BYTE> &folderId)
{
  std::vector<std::vector<BYTE>> ids;
  ComRef<IMAPIFolder> folder;
  HRESULT hr = store->OpenEntry(static_cast<ULONG>(folderId.size()),
                                reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(folderId.data())), nullptr, 0,
                                nullptr, folder.putUnknown());
  if (hr != S_OK || !folder)
    return ids;
  ComRef<IMAPITable> table;
  if (folder->GetContentsTable(0, table.put()) != S_OK || !table)
    return ids;
  for (;;) {
    RowSetHold rows;
    if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
      return ids;
    ULONG size = 0;
    LPENTRYID id = nullptr;
    if (rowEntryId(rows.get(), &size, &id)) {
      const BYTE *b = reinterpret_cast<const BYTE *>(id);
      ids.emplace_back(b, b + size);
    }
  }
}

const char *actionName(PlannedStep step)
{
  switch (step) {
  case PlannedStep::PlaySound: return "play sound";
  case PlannedStep::RequestDownload: return "request download";
  case PlannedStep::WithdrawDownload: return "withdraw download";
  case PlannedStep::WaitForDownload: return "wait for download";
  case PlannedStep::MarkRead: return "mark read";
  case PlannedStep::Move: return "move";
  case PlannedStep::Delete: return "delete";
  case PlannedStep::DeleteHeld: return "delete held";
  case PlannedStep::Execute: return "execute";
  }
  return "";
}

// Explains one message of the given store into *out, whose earlier
// contents go (its buffers are used again); false when it cannot be opened.
bool explainOne(LPMAPISESSION session, const StoreView &store, const std::vector<BYTE> &id,
                const std::vector<std::string> &descriptions, MessageResult *out)
{
  ComRef<IMessage> message;
  HRESULT hr = session->OpenEntry(static_cast<ULONG>(id.size()),
                                  reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(id.data())), nullptr, 0, nullptr,
                                  message.putUnknown());
  if (hr != S_OK || !message)
    return false;
  MessageInfo *record = newRecordOf(static_cast<ULONG>(id.size()), id.data(), message.get());
  if (!record)
    throw std::bad_alloc();
  MessageResult &r = *out;
  r.original = *record; // matching lower-cases the record's texts
  r.original.entryId = nullptr;
  const MessageInfo &original = r.original;
  std::optional<MaildirId> decoded = decodeMaildirId(id);
  r.ref = decoded ? refOf(*decoded) : std::string();
  r.store = store.nameUtf8;
  r.sender = utf8(original.senderAddress);
  r.senderName = utf8(original.senderName);
  r.subject = utf8(original.messageSubject);
  r.size = original.size;
  r.read = isReadMessage(&original);
  r.partial = isPartial(&original);
  r.marked = isMarkedForDownload(&original);
  r.note.clear();
  r.rules.clear();
  r.winner = 0;
  r.score = 0;
  r.actions.clear();

  std::function<void(const RuleVerdict &)> observe = [&](const RuleVerdict &v) {
    RuleResult &rule = r.rules.emplace_back();
    rule.rule = v.rule;
    rule.description = &descriptions[v.position - 1];
    rule.position = v.position;
    rule.enabled = v.rule->enabled != 0;
    rule.skipped = v.skip == RuleSkip::Disabled ? "disabled" : v.skip == RuleSkip::OtherMailbox ? "other mailbox" : "";
    rule.score = v.score;
    if (v.trace)
      rule.trace = *v.trace;
  };
  std::size_t position = 0;
  const Rule *best = bestRule(store.named ? store.name.c_str() : nullptr, record, &position, nullptr, &observe);
  if (best) {
    r.winner = position;
    r.score = r.rules[position - 1].score;
    for (const PlannedAction &a : planRuleActions(record, best))
      r.actions.push_back({actionName(a.step), a.text ? utf8(a.text) : std::string()});
  }
  freeMessageInfo(record);
  return true;
}

// The store of a message named by the tool's ref, and its entry id.
bool resolveRef(const std::string &text, const std::vector<StoreView> &stores, std::size_t *storeIndex,
                std::vector<BYTE> *id, std::string *error)
{
  std::optional<MaildirId> ref = parseMessageRef(text);
  if (!ref) {
    *error = "\"" + text + "\" names no message; write STORE/FOLDER/NAME as qm-store list prints it";
    return false;
  }
  for (std::size_t i = 0; i < stores.size(); ++i) {
    if (stores[i].nameUtf8 == ref->store) {
      *storeIndex = i;
      *id = encodeMaildirId(*ref);
      return true;
    }
  }
  *error = "\"" + text + "\": there is no store " + ref->store;
  return false;
}

void readMaxDownloadSize()
{
  WCHAR text[1024];
  if (readSetting(SETTINGS_KEY, SETTING_MAX_DOWNLOAD_SIZE, text, sizeof text))
    maxDownloadKB = parseSettingNumber(text);
  else
    maxDownloadKB = 0;
}

} // namespace

bool explainMessages(const std::vector<std::string> &refs, const std::function<void(const MessageResult &)> &each,
                     std::string *error)
{
  rulestool::loadProgramLists();
  readMaxDownloadSize();
  DWORD pimCookie = 0;
  (void)pimRegisterServer(&pimCookie); // without it there are no contacts to import
  importContacts();
  releaseContactsApplication();
  (void)pimRevokeServer(pimCookie);

  std::vector<std::string> descriptions;
  for (const Rule *rule = ruleList; rule; rule = rule->next)
    descriptions.push_back(utf16ToUtf8(describeRule(rule)));

  // Without a Mail folder there is no store; a logon would make one.
  std::error_code ec;
  if (!std::filesystem::is_directory(dataRoot() / "Mail", ec)) {
    if (refs.empty())
      return true;
    *error = "there are no message stores in " + dataRoot().string();
    return false;
  }
  ReadOnlySession session;
  if (!session.get()) {
    *error = "cannot open the message stores";
    return false;
  }
  std::vector<StoreView> stores = openStores(session.get());
  MessageResult r;
  if (refs.empty()) {
    for (const StoreView &store : stores) {
      for (const std::vector<BYTE> &id : folderMessages(store.store.get(), store.inboxId)) {
        if (explainOne(session.get(), store, id, descriptions, &r))
          each(r);
      }
    }
    return true;
  }
  for (const std::string &text : refs) {
    std::size_t storeIndex = 0;
    std::vector<BYTE> id;
    if (!resolveRef(text, stores, &storeIndex, &id, error))
      return false;
    if (!explainOne(session.get(), stores[storeIndex], id, descriptions, &r)) {
      *error = "\"" + text + "\": no such message";
      return false;
    }
    std::optional<MaildirId> folder = decodeMaildirId(stores[storeIndex].inboxId);
    std::optional<MaildirId> ref = decodeMaildirId(id);
    if (!folder || !ref || folder->folder != ref->folder)
      r.note = "not in the store's Inbox: the program does not sort it";
    each(r);
  }
  return true;
}

int rulestool::cmdExplain(const CommandArgs &args, ToolIo &io)
{
  bool json = false;
  std::vector<std::string> refs;
  for (const std::string &a : args) {
    if (a == "--json")
      json = true;
    else if (a.rfind("--", 0) == 0)
      return complain(io, "explain: unknown option " + a, 2);
    else
      refs.push_back(a);
  }
  std::string error;
  std::size_t count = 0;
  bool done;
  if (json) {
    JsonExplanation doc(io.out);
    done = explainMessages(refs, [&](const MessageResult &m) { doc.add(m); }, &error);
    doc.finish();
  } else {
    done = explainMessages(
        refs,
        [&](const MessageResult &m) {
          ++count;
          printExplanation(m, io.out);
        },
        &error);
    if (done && count == 0)
      io.out << "No message in any Inbox.\n";
  }
  if (!done)
    return complain(io, "explain: " + error);
  return 0;
}
