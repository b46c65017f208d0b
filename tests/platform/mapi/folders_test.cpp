#include "mapi_test_support.h"

namespace {

class MapiFolders : public MapiTest {
protected:
  // CreateFolder on parent; the new or existing folder, or null with *hr set.
  MemFolder *create(MemFolder *parent, const char16_t *name, ULONG flags, HRESULT *hr)
  {
    IMAPIFolder *folder = open<IMAPIFolder>(memObject(parent));
    std::u16string text = name;
    IMAPIFolder *child = nullptr;
    *hr = folder->CreateFolder(FOLDER_ROOT, text.data(), nullptr, nullptr, flags, &child);
    folder->Release();
    if (*hr != S_OK)
      return nullptr;
    HRESULT read;
    SPropValue *id = getOne(child, PR_ENTRYID, &read);
    MemFolder *found =
        memFindFolder(mem.world, MapiEntryBytes(id->Value.bin.lpb, id->Value.bin.lpb + id->Value.bin.cb));
    MAPIFreeBuffer(id);
    child->Release();
    return found;
  }

  // CopyMessages of the listed messages from one folder to another.
  HRESULT copy(MemFolder *from, std::vector<MemMessage *> messages, MemFolder *to, ULONG flags)
  {
    std::vector<MapiEntryBytes> ids;
    for (MemMessage *m : messages)
      ids.push_back(memEntryId(memObject(m)));
    std::vector<SBinary> bins;
    for (auto &id : ids)
      bins.push_back(SBinary{static_cast<ULONG>(id.size()), id.data()});
    ENTRYLIST list{static_cast<ULONG>(bins.size()), bins.data()};
    IMAPIFolder *source = open<IMAPIFolder>(memObject(from));
    IMAPIFolder *dest = open<IMAPIFolder>(memObject(to));
    HRESULT hr = source->CopyMessages(&list, nullptr, dest, 0, nullptr, flags);
    dest->Release();
    source->Release();
    return hr;
  }
};

TEST_F(MapiFolders, CreateFolderComparesNamesExactly)
{
  MemFolder *inbox = memInbox(mail);
  MemFolder *work = memAddFolder(inbox, u"Work");
  struct Case {
    const char16_t *name; // asked for
    ULONG flags;          // CreateFolder flags
    HRESULT hr;           // expected result
    bool existing;        // the result is "Work" itself
  };
  const Case cases[] = {
      {u"Work", MAPI_UNICODE | OPEN_IF_EXISTS, S_OK, true},
      {u"Work", MAPI_UNICODE, MAPI_E_COLLISION, false},
      {u"work", MAPI_UNICODE | OPEN_IF_EXISTS, S_OK, false}, // another case is another name
      {u"Inbox/Work", MAPI_UNICODE | OPEN_IF_EXISTS, S_OK, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
    HRESULT hr;
    MemFolder *got = create(inbox, c.name, c.flags, &hr);
    EXPECT_EQ(c.hr, hr);
    if (hr != S_OK)
      continue;
    EXPECT_EQ(c.existing, got == work);
    EXPECT_EQ(inbox, memParentFolder(got));
    EXPECT_EQ(std::u16string(c.name), memName(got));
  }
  EXPECT_EQ(3u, memFolders(inbox).size());
}

TEST_F(MapiFolders, MoveAndCopy)
{
  MemFolder *inbox = memInbox(mail);
  MemFolder *archive = memAddFolder(memTop(mail), u"Archive");
  MemMessage *a = memAddMessage(inbox, {.subject = u"a", .text = "Subject: a\r\n\r\n"});
  MemMessage *b = memAddMessage(inbox, {.subject = u"b"});

  EXPECT_EQ(S_OK, copy(inbox, {a}, archive, MESSAGE_MOVE));
  EXPECT_EQ(archive, memFolderOf(a));
  EXPECT_EQ(std::vector<MemMessage *>{b}, memMessages(inbox));

  EXPECT_EQ(S_OK, copy(inbox, {b}, archive, 0));
  EXPECT_EQ(inbox, memFolderOf(b));
  ASSERT_EQ(2u, memMessages(archive).size());
  MemMessage *duplicate = memMessages(archive)[1];
  EXPECT_NE(memEntryId(memObject(b)), memEntryId(memObject(duplicate)));
  MapiValue subject;
  ASSERT_TRUE(memGetProp(memObject(duplicate), PR_SUBJECT, &subject));
  EXPECT_EQ(u"b", subject.text);

  // a is no longer in the Inbox: nothing to move, nothing moved.
  EXPECT_EQ(MAPI_E_NOT_FOUND, copy(inbox, {a}, memDeletedItems(mail), MESSAGE_MOVE));
  EXPECT_EQ(archive, memFolderOf(a));
  // One of two found: partly done.
  EXPECT_EQ(MAPI_W_PARTIAL_COMPLETION, copy(inbox, {a, b}, memDeletedItems(mail), MESSAGE_MOVE));
  EXPECT_EQ(memDeletedItems(mail), memFolderOf(b));
}

TEST_F(MapiFolders, CopyMessagesNeedsOneOfOurFolders)
{
  MemMessage *a = memAddMessage(memInbox(mail), {.subject = u"a"});
  MapiEntryBytes id = memEntryId(memObject(a));
  SBinary bin{static_cast<ULONG>(id.size()), id.data()};
  ENTRYLIST list{1, &bin};
  IMAPIFolder *inbox = open<IMAPIFolder>(memObject(memInbox(mail)));
  IMessage *notAFolder = open<IMessage>(memObject(a));
  EXPECT_EQ(MAPI_E_INVALID_PARAMETER,
            inbox->CopyMessages(&list, nullptr, static_cast<IMAPIProp *>(notAFolder), 0, nullptr, MESSAGE_MOVE));
  EXPECT_EQ(MAPI_E_INVALID_PARAMETER, inbox->CopyMessages(nullptr, nullptr, inbox, 0, nullptr, MESSAGE_MOVE));
  notAFolder->Release();
  inbox->Release();
  EXPECT_EQ(memInbox(mail), memFolderOf(a));
}

} // namespace
