#include "mapi_test_support.h"

#include "platform/clock/clock.h"
#include "platform/text/wstr.h"

namespace {

constexpr ULONGLONG FILETIME_2020 = 132223104000000000ULL; // 2020-01-01 00:00 UTC

class MapiProps : public MapiTest {
protected:
  void SetUp() override
  {
    MapiTest::SetUp();
    message = memAddMessage(memInbox(mail), {.from = u"ann@example.org",
                                             .fromName = u"Ann",
                                             .cc = u"",
                                             .subject = u"Hello",
                                             .size = 20480,
                                             .read = true,
                                             .attach = 2,
                                             .delivered = FILETIME_2020,
                                             .status = MSGSTATUS_REMOTE_DOWNLOAD,
                                             .headerOnly = true,
                                             .text = "To: Bob <bob@example.org>\r\n\r\nthe body\r\n"});
    object = open<IMessage>(memObject(message));
    ASSERT_NE(nullptr, object);
  }
  void TearDown() override
  {
    if (object)
      object->Release();
    MapiTest::TearDown();
  }

  MemMessage *message = nullptr; // the message in the Inbox
  IMessage *object = nullptr;    // it, opened
};

TEST_F(MapiProps, MessageValuesComeBackUnderTheRequestedTag)
{
  struct Case {
    ULONG tag;            // asked for
    LONG l;               // expected PT_LONG / PT_BOOLEAN value
    const char16_t *text; // expected text, or null
  };
  const Case cases[] = {
      {PR_SENDER_EMAIL_ADDRESS, 0, u"ann@example.org"},
      {PR_SENDER_NAME, 0, u"Ann"},
      {PR_SUBJECT, 0, u"Hello"},
      {PR_DISPLAY_CC, 0, u""}, // present and empty is a value
      {PR_CE_MESSAGE_SIZE, 20480, nullptr},
      {PR_MESSAGE_SIZE, 20480, nullptr},
      {PR_MESSAGE_FLAGS, MSGFLAG_READ, nullptr},
      {PR_MSG_STATUS, MSGSTATUS_REMOTE_DOWNLOAD | MSGSTATUS_HEADERONLY, nullptr},
      {PR_HASATTACH, 2, nullptr},             // kept as stored: not "true"
      {PR_OBJECT_TYPE, MAPI_MESSAGE, nullptr},
      {PR_FOLDER_TYPE, MSGSTATUS_REMOTE_DOWNLOAD | MSGSTATUS_HEADERONLY, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.tag);
    HRESULT hr;
    SPropValue *v = getOne(object, c.tag, &hr);
    ASSERT_EQ(S_OK, hr);
    ASSERT_EQ(c.tag, v->ulPropTag);
    if (c.text)
      EXPECT_EQ(std::u16string(c.text), std::u16string(v->Value.lpszW));
    else if (PROP_TYPE(c.tag) == PT_BOOLEAN)
      EXPECT_EQ(c.l, v->Value.b);
    else
      EXPECT_EQ(c.l, v->Value.l);
    MAPIFreeBuffer(v);
  }
  HRESULT hr;
  SPropValue *t = getOne(object, PR_MESSAGE_DELIVERY_TIME, &hr);
  ASSERT_EQ(S_OK, hr);
  EXPECT_EQ(FILETIME_2020, fileTimeToU64(t->Value.ft));
  MAPIFreeBuffer(t);
  SPropValue *id = getOne(object, PR_ENTRYID, &hr);
  ASSERT_EQ(S_OK, hr);
  EXPECT_EQ(memEntryId(memObject(message)), idBytes(id->Value.bin.cb, reinterpret_cast<ENTRYID *>(id->Value.bin.lpb)));
  MAPIFreeBuffer(id);
}

TEST_F(MapiProps, MissingAndMistypedValues)
{
  // Missing: a warning result and a PT_ERROR value saying why.
  HRESULT hr;
  SPropValue *v = getOne(object, PR_DISPLAY_TO, &hr);
  EXPECT_EQ(MAPI_W_ERRORS_RETURNED, hr);
  ASSERT_NE(nullptr, v);
  EXPECT_EQ(CHANGE_PROP_TYPE(PR_DISPLAY_TO, PT_ERROR), v->ulPropTag);
  EXPECT_EQ(MAPI_E_NOT_FOUND, v->Value.err);
  MAPIFreeBuffer(v);
  // Stored under another type: answered as stored, so only the tag tells.
  v = getOne(object, PROP_TAG(PT_LONG, PROP_ID(PR_HASATTACH)), &hr);
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(PR_HASATTACH, v->ulPropTag);
  MAPIFreeBuffer(v);
}

TEST_F(MapiProps, SeveralTagsInOneCall)
{
  SizedSPropTagArray(3, tags) = {3, {PR_SUBJECT, PR_DISPLAY_TO, PR_MESSAGE_FLAGS}};
  ULONG count = 0;
  SPropValue *values = nullptr;
  EXPECT_EQ(MAPI_W_ERRORS_RETURNED,
            object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values));
  ASSERT_EQ(3u, count);
  EXPECT_EQ(PR_SUBJECT, values[0].ulPropTag);
  EXPECT_EQ(PT_ERROR, PROP_TYPE(values[1].ulPropTag));
  EXPECT_EQ(PR_MESSAGE_FLAGS, values[2].ulPropTag);
  MAPIFreeBuffer(values);
  count = 7;
  EXPECT_EQ(MAPI_E_INVALID_PARAMETER, object->GetProps(nullptr, 0, &count, &values));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(nullptr, values);
}

TEST_F(MapiProps, SetPropsWritesThroughAndRefusesComputedTags)
{
  SPropValue writes[2] = {};
  writes[0].ulPropTag = PR_MESSAGE_FLAGS;
  writes[0].Value.l = 0;
  writes[1].ulPropTag = PR_ENTRYID;
  SPropProblemArray *problems = nullptr;
  ASSERT_EQ(S_OK, object->SetProps(2, writes, &problems));
  EXPECT_EQ(0, memGetLong(memObject(message), PR_MESSAGE_FLAGS));
  ASSERT_NE(nullptr, problems);
  ASSERT_EQ(1u, problems->cProblem);
  EXPECT_EQ(1u, problems->aProblem[0].ulIndex);
  EXPECT_EQ(MAPI_E_NO_ACCESS, problems->aProblem[0].scode);
  MAPIFreeBuffer(problems);
  // Without a problem array the call still succeeds.
  writes[0].ulPropTag = PR_MSG_STATUS;
  writes[0].Value.l = 0x10000;
  EXPECT_EQ(S_OK, object->SetProps(1, writes, nullptr));
  EXPECT_EQ(0x10000, memGetLong(memObject(message), PR_MSG_STATUS));
}

TEST_F(MapiProps, TransportTextShowsHeadersUntilTheDownloadCompletes)
{
  IUnknown *unk = nullptr;
  ASSERT_EQ(S_OK, object->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, &unk));
  auto *stream = static_cast<IStream *>(unk);
  EXPECT_EQ("To: Bob <bob@example.org>\r\n\r\n", readAll(stream));
  stream->Release();

  memCompleteDownload(message);
  EXPECT_EQ(0, memGetLong(memObject(message), PR_MSG_STATUS));
  ASSERT_EQ(S_OK, object->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, &unk));
  stream = static_cast<IStream *>(unk);
  EXPECT_EQ("To: Bob <bob@example.org>\r\n\r\nthe body\r\n", readAll(stream));
  stream->Release();
}

TEST_F(MapiProps, OpenPropertyRefusals)
{
  IUnknown *unk = reinterpret_cast<IUnknown *>(1);
  EXPECT_EQ(MAPI_E_INTERFACE_NOT_SUPPORTED, object->OpenProperty(PR_CE_MIME_TEXT, &IID_IMAPITable, 0, 0, &unk));
  EXPECT_EQ(nullptr, unk);
  EXPECT_EQ(MAPI_E_NO_SUPPORT, object->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, MAPI_CREATE, &unk));
  MemMessage *bare = memAddMessage(memInbox(mail), {.subject = u"no text"});
  IMessage *other = open<IMessage>(memObject(bare));
  EXPECT_EQ(MAPI_E_NOT_FOUND, other->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, &unk));
  other->Release();
}

TEST_F(MapiProps, StoreNamesItsSpecialFolders)
{
  IMsgStore *store = openStore(mail);
  struct Case {
    ULONG tag;          // store property
    MemFolder *folder;  // the folder it must name, null: missing
  };
  const Case cases[] = {
      {PR_IPM_SUBTREE_ENTRYID, memTop(mail)},
      {PR_IPM_WASTEBASKET_ENTRYID, memDeletedItems(mail)},
      {PR_IPM_OUTBOX_ENTRYID, memOutbox(mail)},
      {PR_IPM_SENTMAIL_ENTRYID, memSentItems(mail)},
      {PR_CE_IPM_DRAFTS_ENTRYID, memDrafts(mail)},
      {PR_CE_IPM_INBOX_ENTRYID, memInbox(mail)},
      {PR_VIEWS_ENTRYID, nullptr},
      {PR_FINDER_ENTRYID, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.tag);
    HRESULT hr;
    SPropValue *v = getOne(store, c.tag, &hr);
    if (c.folder) {
      ASSERT_EQ(S_OK, hr);
      EXPECT_EQ(memEntryId(memObject(c.folder)), MapiEntryBytes(v->Value.bin.lpb, v->Value.bin.lpb + v->Value.bin.cb));
    } else {
      EXPECT_EQ(MAPI_W_ERRORS_RETURNED, hr);
    }
    MAPIFreeBuffer(v);
  }
  HRESULT hr;
  SPropValue *name = getOne(store, PR_DISPLAY_NAME, &hr);
  EXPECT_EQ(std::u16string(u"Mail"), name->Value.lpszW);
  MAPIFreeBuffer(name);

  ULONG cb = 0;
  ENTRYID *inbox = nullptr;
  ASSERT_EQ(S_OK, store->GetReceiveFolder(nullptr, MAPI_UNICODE, &cb, &inbox, nullptr));
  EXPECT_EQ(memEntryId(memObject(memInbox(mail))), idBytes(cb, inbox));
  MAPIFreeBuffer(inbox);
  memSetReceiveFolder(mail, nullptr);
  EXPECT_EQ(MAPI_E_NOT_FOUND, store->GetReceiveFolder(nullptr, MAPI_UNICODE, &cb, &inbox, nullptr));
  EXPECT_EQ(0u, cb);
  EXPECT_EQ(nullptr, inbox);
  store->Release();
}

} // namespace

namespace {

TEST(MapiPropsClock, DeliveryTimeFollowsThePlatformClock)
{
  constexpr ULONGLONG NOW = 133000000000000000ULL;
  clockSetForTest(1000, NOW);
  MemInstall mem;
  MemStore *mail = memAddStore(mem.world, u"Mail");
  MemMessage *now = memAddMessage(memInbox(mail), {.subject = u"now"});
  MemMessage *none = memAddMessage(memInbox(mail), {.subject = u"none", .noDeliveryTime = true});
  clockUseReal();
  MapiValue v;
  ASSERT_TRUE(memGetProp(memObject(now), PR_MESSAGE_DELIVERY_TIME, &v));
  EXPECT_EQ(NOW, v.u64);
  EXPECT_FALSE(memGetProp(memObject(none), PR_MESSAGE_DELIVERY_TIME, &v));
}

} // namespace

TEST_F(MapiProps, FoldersOfUnreceivedMailCarryTheirBitInTheFolderType)
{
  struct Case {
    MemFolder *folder;
    LONG expected;
  };
  const Case cases[] = {
      {memInbox(mail), FOLDER_GENERIC},
      {memDeletedItems(mail), FOLDER_GENERIC},
      {memOutbox(mail), FOLDER_GENERIC | FOLDER_UNRECEIVED_MAIL},
      {memSentItems(mail), FOLDER_GENERIC | FOLDER_UNRECEIVED_MAIL},
      {memDrafts(mail), FOLDER_GENERIC | FOLDER_UNRECEIVED_MAIL},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(utf16ToUtf8(memName(c.folder)));
    memSetProp(memObject(c.folder), mapiLong(PR_FOLDER_TYPE, FOLDER_GENERIC), false);
    IMAPIFolder *folder = open<IMAPIFolder>(memObject(c.folder));
    ASSERT_NE(nullptr, folder);
    HRESULT hr;
    SPropValue *v = getOne(folder, PR_FOLDER_TYPE, &hr);
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(c.expected, v->Value.l);
    MAPIFreeBuffer(v);
    folder->Release();
  }
}
