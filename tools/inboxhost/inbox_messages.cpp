#include "tools/inboxhost/inbox_messages.h"

#include "engine/mapi_refs.h"
#include "platform/clock/clock.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"

#include <algorithm>
#include <ctime>
#include <set>

namespace {

constexpr LONG ROWS_PER_READ = 200;
constexpr ULONGLONG UNIX_EPOCH_AS_FILE_TIME = 116444736000000000ULL; // 1970-01-01 in 100 ns since 1601
constexpr int DATE_UNITS = 12;                                      // "08 Dec 10:00"

bool isError(const SPropValue &v) { return PROP_TYPE(v.ulPropTag) == PT_ERROR; }

std::u16string textOf(const SPropValue &v)
{
  return !isError(v) && PROP_TYPE(v.ulPropTag) == PT_UNICODE && v.Value.lpszW ? std::u16string(v.Value.lpszW)
                                                                               : std::u16string();
}

MapiEntryBytes bytesOf(const SPropValue &v)
{
  if (isError(v) || PROP_TYPE(v.ulPropTag) != PT_BINARY || !v.Value.bin.lpb)
    return {};
  return MapiEntryBytes(v.Value.bin.lpb, v.Value.bin.lpb + v.Value.bin.cb);
}

LONG numberOf(const SPropValue &v) { return !isError(v) && PROP_TYPE(v.ulPropTag) == PT_LONG ? v.Value.l : 0; }

// Calls `each` with the values of every row of a table with the given
// columns (valid during the call); false when the table cannot be read.
template <std::size_t N, class Each>
bool forEachRow(IMAPITable *table, const ULONG (&tags)[N], Each each)
{
  SizedSPropTagArray(N, columns);
  columns.cValues = N;
  std::copy(std::begin(tags), std::end(tags), columns.aulPropTag);
  if (table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0) != S_OK)
    return false;
  for (;;) {
    RowSetHold set;
    if (table->QueryRows(ROWS_PER_READ, 0, set.put()) != S_OK || !set.get())
      return false;
    if (set->cRows == 0)
      return true;
    for (ULONG r = 0; r < set->cRows; ++r)
      if (set->aRow[r].cValues == N)
        each(set->aRow[r].lpProps);
  }
}

void readStoreInbox(IMAPISession *session, const MapiEntryBytes &storeId, const std::u16string &name,
                    std::vector<InboxMessage> *out, std::vector<std::string> *problems)
{
  auto complain = [&](const char *what) {
    if (problems)
      problems->push_back(utf16ToUtf8(name) + ": " + what);
  };
  ComRef<IMsgStore> store;
  if (session->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(storeId.data())),
                            nullptr, 0, store.put()) != S_OK)
    return complain("the store cannot be opened");
  ULONG inboxSize = 0;
  MapiBuffer<ENTRYID> inboxId;
  if (store->GetReceiveFolder(nullptr, 0, &inboxSize, inboxId.put(), nullptr) != S_OK || !inboxId)
    return complain("the store has no Inbox");
  ComRef<IMAPIContainer> inbox;
  HRESULT hr = store->OpenEntry(inboxSize, inboxId.get(), nullptr, 0, nullptr, inbox.putUnknown());
  if (hr != S_OK || !inbox) // the object is taken over once the call's statement ends
    return complain("the Inbox cannot be opened");
  ComRef<IMAPITable> table;
  if (inbox->GetContentsTable(MAPI_UNICODE, table.put()) != S_OK || !table)
    return complain("the Inbox cannot be listed");
  const ULONG tags[] = {PR_ENTRYID, PR_SENDER_NAME, PR_SENDER_EMAIL_ADDRESS, PR_SUBJECT,
                        PR_MESSAGE_DELIVERY_TIME, PR_MESSAGE_FLAGS, PR_MSG_STATUS};
  const auto *folderBytes = reinterpret_cast<const BYTE *>(inboxId.get());
  MapiEntryBytes folder(folderBytes, folderBytes + inboxSize);
  bool listed = forEachRow(table.get(), tags, [&](const SPropValue *row) {
    InboxMessage m;
    m.store = name;
    m.folder = folder;
    m.message = bytesOf(row[0]);
    if (m.message.empty())
      return;
    m.sender = textOf(row[1]);
    if (m.sender.empty())
      m.sender = textOf(row[2]);
    m.subject = textOf(row[3]);
    if (!isError(row[4]) && PROP_TYPE(row[4].ulPropTag) == PT_SYSTIME)
      m.delivered = fileTimeToU64(row[4].Value.ft);
    m.read = (numberOf(row[5]) & MSGFLAG_READ) != 0;
    m.headerOnly = (numberOf(row[6]) & MSGSTATUS_HEADERONLY) != 0;
    out->push_back(std::move(m));
  });
  if (!listed)
    complain("the Inbox cannot be listed whole");
}

// Cuts or pads text to exactly `units`, control characters shown as "?".
std::u16string field(std::u16string_view text, int units)
{
  std::u16string out;
  if (units <= 0)
    return out;
  for (char16_t c : text) {
    if (static_cast<int>(out.size()) == units)
      break;
    out += c < 0x20 || c == 0x7F ? u'?' : c;
  }
  out.resize(static_cast<std::size_t>(units), u' ');
  return out;
}

std::u16string dateText(ULONGLONG fileTime)
{
  if (fileTime < UNIX_EPOCH_AS_FILE_TIME)
    return std::u16string(DATE_UNITS, u' ');
  static const char *const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t seconds = static_cast<std::time_t>((fileTime - UNIX_EPOCH_AS_FILE_TIME) / 10000000ULL);
  std::tm local{};
  if (!localtime_r(&seconds, &local))
    return std::u16string(DATE_UNITS, u' ');
  char text[32];
  std::snprintf(text, sizeof text, "%02d %s %02d:%02d", local.tm_mday, MONTHS[local.tm_mon % 12], local.tm_hour,
                local.tm_min);
  return field(utf8ToUtf16(text), DATE_UNITS);
}

// The widths of the sender and subject fields in a line of `columns`.
void widths(int columns, int *sender, int *subject)
{
  const int rest = std::max(0, columns - 2 - 1 - 1 - 1 - DATE_UNITS); // flags, three blanks, date
  *sender = rest * 2 / 5;
  *subject = rest - *sender;
}

} // namespace

std::vector<InboxMessage> readInboxMessages(IMAPISession *session, std::vector<std::string> *problems)
{
  std::vector<InboxMessage> out;
  ComRef<IMAPITable> stores;
  if (session->GetMsgStoresTable(MAPI_UNICODE, stores.put()) != S_OK || !stores) {
    if (problems)
      problems->push_back("the stores cannot be listed");
    return out;
  }
  const ULONG tags[] = {PR_ENTRYID, PR_DISPLAY_NAME};
  std::vector<std::pair<MapiEntryBytes, std::u16string>> found;
  if (!forEachRow(stores.get(), tags, [&](const SPropValue *row) { found.emplace_back(bytesOf(row[0]), textOf(row[1])); }) &&
      problems)
    problems->push_back("the stores cannot be listed whole");
  for (const auto &[id, name] : found)
    readStoreInbox(session, id, name, &out, problems);
  std::stable_sort(out.begin(), out.end(), [](const InboxMessage &a, const InboxMessage &b) {
    if (a.delivered != b.delivered)
      return a.delivered > b.delivered;
    if (a.store != b.store)
      return a.store < b.store;
    return a.subject < b.subject;
  });
  return out;
}

std::vector<MapiEntryBytes> storeIds(IMAPISession *session)
{
  std::vector<MapiEntryBytes> ids;
  ComRef<IMAPITable> stores;
  if (session->GetMsgStoresTable(MAPI_UNICODE, stores.put()) != S_OK || !stores)
    return ids;
  const ULONG tags[] = {PR_ENTRYID};
  (void)forEachRow(stores.get(), tags, [&](const SPropValue *row) {
    if (MapiEntryBytes id = bytesOf(row[0]); !id.empty())
      ids.push_back(std::move(id));
  }); // a table cut short: the stores read so far
  return ids;
}

std::size_t storeCount(const std::vector<InboxMessage> &messages)
{
  std::set<std::u16string> names;
  for (const InboxMessage &m : messages)
    names.insert(m.store);
  return names.size();
}

std::u16string messageLine(const InboxMessage &m, int columns, bool withStore)
{
  int sender = 0, subject = 0;
  widths(columns, &sender, &subject);
  std::u16string from = withStore ? u"[" + m.store + u"] " + m.sender : m.sender;
  std::u16string flags{m.read ? u' ' : u'*', m.headerOnly ? u'H' : u' '};
  return flags + u" " + field(from, sender) + u" " + field(m.subject, subject) + u" " + dateText(m.delivered);
}

std::u16string headingLine(int columns)
{
  int sender = 0, subject = 0;
  widths(columns, &sender, &subject);
  return u"   " + field(u"From", sender) + u" " + field(u"Subject", subject) + u" " + field(u"Received", DATE_UNITS);
}
