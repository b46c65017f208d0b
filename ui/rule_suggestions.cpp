#include "ui/rule_suggestions.h"

#include "engine/address.h"
#include "engine/folders.h"
#include "engine/mapi_refs.h"
#include "engine/props.h"
#include "engine/session.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "rules/rule.h"
#include "services/resources.h"
#include "services/string_ids.h"
#include "ui/resources/resource_ids.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

const WCHAR *archiveText = nullptr;     // string 40019, "Archive"
const WCHAR *deleteText = nullptr;      // string 40020, ">> DELETE <<"
const WCHAR *knownUsersText = nullptr;  // string 40021, ">> Known users <<"

// One suggestion box and the texts it holds, lower-cased as the box's own
// exact search compares them. The box's search walks every entry, which
// over a large Inbox would make the gathering quadratic; this set answers
// the same question at once. The texts reach the sorted box in its own
// order once gathered: added as they come, each would be put among the
// thousands before it, every entry after it moved along.
struct SuggestionBox {
  HWND box;
  std::unordered_set<std::u16string> held;
  std::vector<std::u16string> gathered; // not in the box yet

  // Adds text unless an entry of the same text (case ignored) is there.
  void add(const WCHAR *text)
  {
    std::u16string key(text);
    for (char16_t &unit : key)
      unit = toLowerUnit(unit);
    if (held.insert(std::move(key)).second)
      gathered.emplace_back(text);
  }

  // Puts what was gathered into the box, in the box's order.
  void flush()
  {
    std::sort(gathered.begin(), gathered.end(),
              [](const std::u16string &a, const std::u16string &b) { return wstrICmp(a, b) < 0; });
    for (const std::u16string &text : gathered)
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    gathered.clear();
  }

  void reset()
  {
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    held.clear();
    gathered.clear();
  }
};

struct Suggestions {
  SuggestionBox from, to, subject, folders;
};

// The chosen mailbox's name, empty for "<< Any Mailbox >>" or no choice.
std::u16string chosenMailbox(HWND editor)
{
  auto index = SendDlgItemMessageW(editor, IDC_RULE_MAILBOX, CB_GETCURSEL, 0, 0);
  if (index <= 0)
    return {};
  auto length = SendDlgItemMessageW(editor, IDC_RULE_MAILBOX, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0)
    return {};
  std::u16string name(static_cast<std::size_t>(length) + 1, u'\0');
  SendDlgItemMessageW(editor, IDC_RULE_MAILBOX, CB_GETLBTEXT, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(name.data()));
  name.resize(static_cast<std::size_t>(length));
  return name;
}

// Adds the display name of every folder of the folder's hierarchy table;
// with store given, special folders are left out.
void addSubfolderNames(IMAPIFolder *folder, LPMDB store, SuggestionBox &box)
{
  if (!folder)
    return;
  ComRef<IMAPITable> table;
  if (folder->GetHierarchyTable(0, table.put()) != S_OK || !table)
    return;
  for (;;) {
    RowSetHold rows;
    if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
      return;
    ULONG size = 0;
    LPENTRYID id = nullptr;
    if (!rowEntryId(rows.get(), &size, &id))
      continue;
    if (store && isSpecialFolder(store, size, reinterpret_cast<const BYTE *>(id)))
      continue;
    ComRef<IMAPIFolder> child;
    // The object reaches child only once the call's full expression ends.
    const HRESULT opened = session->OpenEntry(size, id, nullptr, 0, nullptr, child.putUnknown());
    if (opened != S_OK || !child)
      continue;
    WCHAR name[RULE_TEXT_CHARS];
    if (getString(child.get(), PR_DISPLAY_NAME, name, RULE_TEXT_CHARS))
      box.add(name);
  }
}

// The sender, recipients and subject of one Inbox message.
void addMessageTexts(IMessage *message, Suggestions &lists)
{
  WCHAR text[RULE_TEXT_CHARS];
  if (getString(message, PR_SENDER_EMAIL_ADDRESS, text, RULE_TEXT_CHARS))
    lists.from.add(stripToAddress(text));
  WCHAR to[RULE_TEXT_CHARS] = {};
  WCHAR cc[RULE_TEXT_CHARS] = {};
  if (getRecipients(message, to, cc, RULE_TEXT_CHARS)) {
    if (to[0])
      lists.to.add(stripToAddress(to));
    if (cc[0])
      lists.to.add(stripToAddress(cc));
  }
  if (getString(message, PR_SUBJECT, text, RULE_TEXT_CHARS))
    lists.subject.add(text);
}

void addInboxMessages(IMAPIFolder *inbox, Suggestions &lists)
{
  if (!inbox)
    return;
  ComRef<IMAPITable> table;
  if (inbox->GetContentsTable(0, table.put()) != S_OK || !table)
    return;
  for (;;) {
    RowSetHold rows;
    if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
      return;
    ULONG size = 0;
    LPENTRYID id = nullptr;
    if (!rowEntryId(rows.get(), &size, &id))
      continue;
    ComRef<IMessage> message;
    const HRESULT opened = session->OpenEntry(size, id, nullptr, 0, nullptr, message.putUnknown());
    if (opened != S_OK || !message)
      continue;
    addMessageTexts(message.get(), lists);
  }
}

// Folder names first (top level, Inbox, archive), then the Inbox's messages.
void gatherFromStore(LPMDB store, Suggestions &lists)
{
  {
    ComRef<IMAPIFolder> top(openTopFolder(store));
    addSubfolderNames(top.get(), store, lists.folders);
  }
  ComRef<IMAPIFolder> inbox(openInbox(store));
  addSubfolderNames(inbox.get(), nullptr, lists.folders);
  {
    ComRef<IMAPIFolder> top(openTopFolder(store));
    ComRef<IMAPIFolder> archive(findChild(top.get(), archiveText));
    addSubfolderNames(archive.get(), nullptr, lists.folders);
  }
  addInboxMessages(inbox.get(), lists);
}

void gatherFromStores(const std::u16string &mailbox, Suggestions &lists)
{
  if (!session)
    return;
  forEachStore(session, [&](ComRef<IMsgStore> store) {
    WCHAR name[RULE_TEXT_CHARS];
    if (getString(store.get(), PR_DISPLAY_NAME, name, RULE_TEXT_CHARS) && (mailbox.empty() || mailbox == name))
      gatherFromStore(store.get(), lists);
  });
}

std::u16string boxText(HWND box)
{
  WCHAR text[RULE_TEXT_CHARS] = {};
  GetWindowTextW(box, text, RULE_TEXT_CHARS);
  return text;
}

} // namespace

void fillRuleSuggestions(HWND editor)
{
  loadString(IDS_ARCHIVE, &archiveText);
  loadString(IDS_DELETE_MARK, &deleteText);
  loadString(IDS_KNOWN_USERS, &knownUsersText);

  Suggestions lists{{GetDlgItem(editor, IDC_RULE_FROM), {}, {}},
                    {GetDlgItem(editor, IDC_RULE_TO), {}, {}},
                    {GetDlgItem(editor, IDC_RULE_SUBJECT), {}, {}},
                    {GetDlgItem(editor, IDC_RULE_MOVE_TO), {}, {}}};
  SuggestionBox *boxes[] = {&lists.from, &lists.to, &lists.subject, &lists.folders};
  std::u16string typed[4];
  for (int i = 0; i < 4; ++i)
    typed[i] = boxText(boxes[i]->box);
  for (SuggestionBox *box : boxes)
    box->reset();
  lists.from.add(knownUsersText);
  lists.folders.add(archiveText);
  for (int i = 0; i < 4; ++i)
    SetWindowTextW(boxes[i]->box, typed[i].c_str());

  try {
    gatherFromStores(chosenMailbox(editor), lists);
  } catch (...) {
    // A store call that raised ends the gathering; what was found stays.
  }
  for (SuggestionBox *box : boxes)
    box->flush();
  // Always last, after every gathered name.
  SendMessageW(lists.folders.box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(deleteText));
}
