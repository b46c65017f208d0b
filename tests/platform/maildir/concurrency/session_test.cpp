// The Maildir stores as the program sees them through the messaging
// library: the calls of the session, the store watcher, the processing pass
// and the rule actions, with the arguments they pass.
#include "tests/platform/maildir/provider_fixture.h"

#include "platform/com/stream.h"
#include "platform/mapi/mapix.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

MapiEntryBytes bytesOf(ULONG cb, const ENTRYID *id)
{
  auto *p = reinterpret_cast<const BYTE *>(id);
  return id ? MapiEntryBytes(p, p + cb) : MapiEntryBytes{};
}

// One notification as the program reads it.
struct Note {
  ULONG eventType;       // fnev*
  ULONG objType;         // object events
  MapiEntryBytes id;     // the object, or the new message
  MapiEntryBytes parent; // its (new) parent
};

// The advise sink, recording what OnNotify is given.
class Sink : public IMAPIAdviseSink {
public:
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (riid != IID_IUnknown && riid != IID_IMAPIAdviseSink)
      return E_NOINTERFACE;
    *ppv = static_cast<IMAPIAdviseSink *>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  ULONG OnNotify(ULONG count, LPNOTIFICATION n) override
  {
    std::lock_guard<std::mutex> g(lock);
    largestArray = std::max(largestArray, count);
    for (ULONG i = 0; i < count; ++i) {
      if (n[i].ulEventType == fnevNewMail)
        notes.push_back({fnevNewMail, 0, bytesOf(n[i].info.newmail.cbEntryID, n[i].info.newmail.lpEntryID),
                         bytesOf(n[i].info.newmail.cbParentID, n[i].info.newmail.lpParentID)});
      else
        notes.push_back({n[i].ulEventType, n[i].info.obj.ulObjType,
                         bytesOf(n[i].info.obj.cbEntryID, n[i].info.obj.lpEntryID),
                         bytesOf(n[i].info.obj.cbParentID, n[i].info.obj.lpParentID)});
    }
    arrived.notify_all();
    return 0;
  }
  // Waits (at most EventLog::WAIT) for a notification of that type about id.
  bool waitFor(ULONG type, const MapiEntryBytes &id, Note *out)
  {
    std::unique_lock<std::mutex> g(lock);
    return arrived.wait_for(g, EventLog::WAIT, [&] {
      for (const Note &n : notes)
        if (n.eventType == type && n.id == id) {
          *out = n;
          return true;
        }
      return false;
    });
  }

  std::atomic<ULONG> refs{0}; // references held by the store
  std::mutex lock;            // guards notes
  std::condition_variable arrived;
  std::vector<Note> notes;    // every notification, in order
  ULONG largestArray = 0;     // the most notifications one OnNotify was given
};

class MaildirSessionTest : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    MAPISetProvider(maildirProvider());
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  }
  void TearDown() override
  {
    session->Logoff(0, 0, 0);
    session->Release();
    MAPIUninitialize();
    MAPISetProvider(nullptr);
    TempRootTest::TearDown();
  }

  // The first column of every row, one row at a time.
  static std::vector<MapiEntryBytes> firstColumn(IMAPITable *table)
  {
    std::vector<MapiEntryBytes> ids;
    for (;;) {
      SRowSet *rows = nullptr;
      if (table->QueryRows(1, 0, &rows) != S_OK)
        break;
      bool one = rows->cRows == 1;
      if (one)
        ids.push_back(bytesOf(rows->aRow[0].lpProps[0].Value.bin.cb,
                              reinterpret_cast<ENTRYID *>(rows->aRow[0].lpProps[0].Value.bin.lpb)));
      FreeProws(rows);
      if (!one)
        break;
    }
    table->Release();
    return ids;
  }

  static SPropValue *getOne(IMAPIProp *object, ULONG tag)
  {
    SizedSPropTagArray(1, tags) = {1, {tag}};
    ULONG count = 0;
    SPropValue *values = nullptr;
    HRESULT hr = object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values);
    if (hr != S_OK || count != 1 || values->ulPropTag != tag) {
      MAPIFreeBuffer(values);
      return nullptr;
    }
    return values;
  }

  template <class T>
  T *openEntry(const MapiEntryBytes &id)
  {
    IUnknown *unk = nullptr;
    ULONG type = 0;
    if (session->OpenEntry(static_cast<ULONG>(id.size()),
                           reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(id.data())), nullptr, 0,
                           &type, &unk) != S_OK)
      return nullptr;
    return static_cast<T *>(unk);
  }

  IMAPISession *session = nullptr;
};

TEST_F(MaildirSessionTest, WhatTheProgramDoesWithAStore)
{
  // The store, its name and Inbox, as the store watcher's set-up reads them.
  IMAPITable *table = nullptr;
  ASSERT_EQ(session->GetMsgStoresTable(MAPI_UNICODE, &table), S_OK);
  std::vector<MapiEntryBytes> stores = firstColumn(table);
  ASSERT_EQ(stores.size(), 1u);
  IMsgStore *store = nullptr;
  ASSERT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(stores[0].size()),
                                  reinterpret_cast<LPENTRYID>(stores[0].data()), nullptr, 0, &store),
            S_OK);
  SPropValue *name = getOne(store, PR_DISPLAY_NAME);
  ASSERT_TRUE(name);
  EXPECT_EQ(std::u16string(name->Value.lpszW), u"Local");
  MAPIFreeBuffer(name);
  ULONG inboxSize = 0;
  ENTRYID *inboxId = nullptr;
  ASSERT_EQ(store->GetReceiveFolder(nullptr, MAPI_UNICODE, &inboxSize, &inboxId, nullptr), S_OK);
  MapiEntryBytes inbox = bytesOf(inboxSize, inboxId);
  MAPIFreeBuffer(inboxId);
  Sink sink;
  ULONG connection = 0;
  ASSERT_EQ(store->Advise(0, nullptr, 0x34, &sink, &connection), S_OK);

  // Another program delivers a message into the Inbox.
  std::string text = "From: Ann <ann@example.org>\r\nTo: =?utf-8?q?B=C3=B6b?= <bob@example.org>\r\n"
                     "Subject: hello\r\n\r\nbody\r\n";
  auto unique = deliverToStore(DeliveryTarget{root / "Mail", root / "Transport", "Local", {"Inbox"}},
                               text, false);
  ASSERT_TRUE(unique);
  MapiEntryBytes messageId = encodeMaildirId(::messageId("Local", {"Inbox"}, *unique));
  Note note;
  ASSERT_TRUE(sink.waitFor(fnevObjectCreated, messageId, &note));
  EXPECT_EQ(note.objType, MAPI_MESSAGE);
  EXPECT_EQ(note.parent, inbox);

  // The pass opens the parent named by the notification and reads the message.
  IUnknown *unk = nullptr;
  ULONG type = 0;
  ASSERT_EQ(store->OpenEntry(static_cast<ULONG>(note.parent.size()),
                             reinterpret_cast<LPENTRYID>(note.parent.data()), nullptr, 0, &type, &unk),
            S_OK);
  EXPECT_EQ(type, MAPI_FOLDER);
  auto *folder = static_cast<IMAPIFolder *>(unk);
  IMAPITable *contents = nullptr;
  ASSERT_EQ(folder->GetContentsTable(0, &contents), S_OK);
  EXPECT_EQ(firstColumn(contents), std::vector<MapiEntryBytes>{messageId});

  IMessage *message = openEntry<IMessage>(messageId);
  ASSERT_TRUE(message);
  SPropValue *v = getOne(message, PR_CE_MESSAGE_SIZE);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Value.l, static_cast<LONG>(text.size()));
  MAPIFreeBuffer(v);
  v = getOne(message, PR_DISPLAY_TO);
  ASSERT_TRUE(v);
  EXPECT_EQ(std::u16string(v->Value.lpszW), u"B\u00F6b <bob@example.org>");
  MAPIFreeBuffer(v);
  v = getOne(message, PR_MESSAGE_DELIVERY_TIME);
  ASSERT_TRUE(v);
  MAPIFreeBuffer(v);
  EXPECT_EQ(getOne(message, PR_DISPLAY_CC), nullptr); // absent: a PT_ERROR value

  // The transport headers as a stream.
  IUnknown *streamUnk = nullptr;
  ASSERT_EQ(message->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, &streamUnk), S_OK);
  auto *stream = static_cast<IStream *>(streamUnk);
  std::string read;
  char buf[100];
  ULONG got = 0;
  for (HRESULT hr = S_OK; hr == S_OK;) {
    hr = stream->Read(buf, sizeof buf, &got);
    read.append(buf, got);
  }
  stream->Release();
  EXPECT_EQ(read, text);

  // Marking it read is a modification of a message in the Inbox.
  SPropValue flags{};
  flags.ulPropTag = PR_MESSAGE_FLAGS;
  flags.Value.l = MSGFLAG_READ;
  ASSERT_EQ(message->SetProps(1, &flags, nullptr), S_OK);
  ASSERT_TRUE(sink.waitFor(fnevObjectModified, messageId, &note));
  EXPECT_EQ(note.parent, inbox);
  message->Release();

  // The move of the rule actions: a target folder under the top folder, then
  // CopyMessages with MESSAGE_MOVE.
  SPropValue *top = getOne(store, PR_IPM_SUBTREE_ENTRYID);
  ASSERT_TRUE(top);
  auto *topFolder = openEntry<IMAPIFolder>(bytesOf(top->Value.bin.cb, reinterpret_cast<ENTRYID *>(top->Value.bin.lpb)));
  MAPIFreeBuffer(top);
  ASSERT_TRUE(topFolder);
  IMAPIFolder *archive = nullptr;
  WCHAR archiveName[] = u"Archive";
  ASSERT_EQ(topFolder->CreateFolder(0, archiveName, nullptr, nullptr, MAPI_UNICODE | OPEN_IF_EXISTS, &archive), S_OK);
  IMAPIFolder *again = nullptr;
  ASSERT_EQ(topFolder->CreateFolder(0, archiveName, nullptr, nullptr, MAPI_UNICODE | OPEN_IF_EXISTS, &again), S_OK);
  again->Release();
  SBinary one{static_cast<ULONG>(messageId.size()), messageId.data()};
  ENTRYLIST list{1, &one};
  ASSERT_EQ(folder->CopyMessages(&list, nullptr, archive, 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_TRUE(fs::exists(root / "Mail" / "Local" / "Archive" / "cur" / (*unique + ":2,S")));
  // Deleting moves it to the store's wastebasket.
  SPropValue *waste = getOne(store, PR_IPM_WASTEBASKET_ENTRYID);
  ASSERT_TRUE(waste);
  EXPECT_EQ(bytesOf(waste->Value.bin.cb, reinterpret_cast<ENTRYID *>(waste->Value.bin.lpb)),
            encodeMaildirId(folderId("Local", {"Deleted Items"})));
  MAPIFreeBuffer(waste);
  EXPECT_EQ(getOne(store, PR_FINDER_ENTRYID), nullptr);

  archive->Release();
  topFolder->Release();
  folder->Release();
  EXPECT_EQ(store->Unadvise(connection), S_OK);
  store->Release();
}

TEST_F(MaildirSessionTest, EveryMessageOfABurstHasANotificationOfItsOwn)
{
  // The store watcher looks at the first notification of each OnNotify only.
  IMAPITable *table = nullptr;
  ASSERT_EQ(session->GetMsgStoresTable(MAPI_UNICODE, &table), S_OK);
  MapiEntryBytes storeId = firstColumn(table).at(0);
  IMsgStore *store = nullptr;
  ASSERT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(storeId.size()),
                                  reinterpret_cast<LPENTRYID>(storeId.data()), nullptr, 0, &store),
            S_OK);
  Sink sink;
  ULONG connection = 0;
  ASSERT_EQ(store->Advise(0, nullptr, 0x34, &sink, &connection), S_OK);
  fs::path inbox = root / "Mail" / "Local" / "Inbox";
  std::vector<MapiEntryBytes> ids;
  for (int i = 0; i < 20; ++i) {
    std::string name = "1700000" + std::to_string(100 + i) + ".M1P1.burst";
    std::ofstream(inbox / "tmp" / name) << "Subject: " << i << "\r\n\r\n";
    ids.push_back(encodeMaildirId(messageId("Local", {"Inbox"}, name)));
  }
  // All twenty arrive at once, as a fetch of a mail program brings them.
  for (int i = 0; i < 20; ++i) {
    std::string name = "1700000" + std::to_string(100 + i) + ".M1P1.burst";
    fs::rename(inbox / "tmp" / name, inbox / "new" / name);
  }
  Note note;
  for (const MapiEntryBytes &id : ids)
    ASSERT_TRUE(sink.waitFor(fnevObjectCreated, id, &note));
  EXPECT_EQ(sink.largestArray, 1u);
  EXPECT_EQ(store->Unadvise(connection), S_OK);
  store->Release();
}

} // namespace
