// The extension object without menus: the commands it sends for a verb, what
// keeps it from sending, the command texts, and its site.
#include "tests/inboxmenu/extension_scene.h"

#include <gtest/gtest.h>

namespace {

constexpr HRESULT STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007A);

class Extension : public ExtensionScene {};

std::vector<ULONG_PTR> codes(const std::vector<TestMainWindow::Command> &commands)
{
  std::vector<ULONG_PTR> out;
  for (const auto &c : commands)
    out.push_back(c.code);
  return out;
}

} // namespace

TEST_F(Extension, EachVerbSendsItsCodeWithTheMessagesEntryId)
{
  TestMainWindow window;
  for (LONG kind : {KIND_CONTEXT_MENU, KIND_SOFTKEY_MENU}) {
    IContextMenu *menu = makeMenu(kind);
    for (const WCHAR *verb : {u"Create Filter...", u"Create Appointment...", u"Create Task...", u"Mark as Known",
                              u"Mark as Unknown"})
      EXPECT_EQ(invoke(menu, verb), S_OK) << kind;
    menu->Release();
  }
  std::vector<TestMainWindow::Command> sent = window.commands();
  EXPECT_EQ(codes(sent), (std::vector<ULONG_PTR>{1, 2, 3, 4, 4, 1, 2, 3, 4, 4}));
  for (const auto &c : sent)
    EXPECT_EQ(c.bytes, memEntryId(memObject(message)));
}

TEST_F(Extension, UnknownVerbsAreRefusedAndSendNothing)
{
  TestMainWindow window;
  IContextMenu *menu = makeMenu();
  EXPECT_EQ(invoke(menu, u"Delete"), E_INVALIDARG);
  EXPECT_EQ(invoke(menu, u"create filter..."), E_INVALIDARG); // texts compare exactly
  EXPECT_EQ(invoke(menu, u"Sorrelby"), E_INVALIDARG);          // the popup is no command
  EXPECT_EQ(invoke(menu, reinterpret_cast<const WCHAR *>(2)), E_INVALIDARG); // an id offset
  EXPECT_EQ(invoke(menu, nullptr), S_OK);
  EXPECT_EQ(menu->InvokeCommand(nullptr), E_INVALIDARG);

  // The verb of an unaligned record is found all the same.
  alignas(8) BYTE buffer[sizeof(CMINVOKECOMMANDINFO) + 1] = {};
  const WCHAR *verb = u"Create Task...";
  std::memcpy(buffer + 1 + CMINVOKECOMMANDINFO_VERB_OFFSET, &verb, sizeof verb);
  EXPECT_EQ(menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO *>(buffer + 1)), S_OK);
  menu->Release();
  EXPECT_EQ(codes(window.commands()), (std::vector<ULONG_PTR>{3}));
}

TEST_F(Extension, NothingIsSentWithoutTheProgramOrAProperSelection)
{
  IContextMenu *menu = makeMenu();
  EXPECT_EQ(invoke(menu, u"Mark as Known"), S_OK); // the program is not running
  TestMainWindow window;

  auto spoilAndInvoke = [&](auto spoil) {
    spoil(*site);
    EXPECT_EQ(invoke(menu, u"Create Filter..."), S_OK);
    // Put the selection back as it was.
    site->answerDataObject = true;
    site->getDataResult = S_OK;
    site->nullHandle = false;
    site->record.cRefs = 2;
    site->messageType = ITEMREF_TYPE_MESSAGE;
    site->messageId = SBinary{static_cast<ULONG>(site->messageBytes.size()), site->messageBytes.data()};
    site->record.refs[1].entryId = &site->messageId;
    site->record.refs[1].type = &site->messageType;
  };
  spoilAndInvoke([](TestSite &s) { s.answerDataObject = false; });
  spoilAndInvoke([](TestSite &s) { s.getDataResult = E_OUTOFMEMORY; });
  spoilAndInvoke([](TestSite &s) { s.nullHandle = true; });
  spoilAndInvoke([](TestSite &s) { s.record.cRefs = 1; });
  spoilAndInvoke([](TestSite &s) { s.record.cRefs = 3; });
  spoilAndInvoke([](TestSite &s) { s.messageType = ITEMREF_TYPE_FOLDER; });
  spoilAndInvoke([](TestSite &s) { s.record.refs[1].type = nullptr; });
  spoilAndInvoke([](TestSite &s) { s.record.refs[1].entryId = nullptr; });
  spoilAndInvoke([](TestSite &s) { s.messageId.cb = 0; });
  spoilAndInvoke([](TestSite &s) { s.messageId.lpb = nullptr; });
  // A message that is gone: opening it fails, so nothing is sent.
  spoilAndInvoke([&](TestSite &) { memRemoveMessage(message); });
  EXPECT_TRUE(window.commands().empty());

  // Without a site nothing is asked at all.
  void *withSite = nullptr;
  menu->QueryInterface(IID_IObjectWithSite, &withSite);
  static_cast<IObjectWithSite *>(withSite)->SetSite(nullptr);
  static_cast<IObjectWithSite *>(withSite)->Release();
  EXPECT_EQ(invoke(menu, u"Create Task..."), S_OK);
  EXPECT_TRUE(window.commands().empty());
  menu->Release();
}

TEST_F(Extension, CommandStringsBeforeAnyMenuAndForUnknownIds)
{
  IContextMenu *menu = makeMenu(KIND_SOFTKEY_MENU);
  WCHAR text[30];
  // Before QueryContextMenu every id is 0, the popup's own.
  EXPECT_EQ(menu->GetCommandString(0, GCS_VERBW, nullptr, text, 30), S_OK);
  EXPECT_EQ(std::u16string(text), u"Sorrelby");
  EXPECT_EQ(menu->GetCommandString(5, GCS_VERBW, nullptr, text, 30), E_INVALIDARG);
  EXPECT_EQ(menu->GetCommandString(0, GCS_VERBW, nullptr, nullptr, 30), E_INVALIDARG);
  EXPECT_EQ(menu->GetCommandString(0x100000000ull, GCS_VERBW, nullptr, text, 30), E_INVALIDARG);
  // A short buffer gets the text cut and terminated.
  EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, text, 5), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(text), u"Sorr");
  menu->Release();
}

TEST_F(Extension, AnObjectOfAnotherKindDoesNothing)
{
  TestMainWindow window;
  IContextMenu *menu = makeMenu(7);
  WCHAR text[30];
  EXPECT_EQ(menu->GetCommandString(0, GCS_VERBW, nullptr, text, 30), E_INVALIDARG);
  EXPECT_EQ(invoke(menu, u"Create Filter..."), S_OK);
  EXPECT_TRUE(window.commands().empty());
  menu->Release();
}

TEST_F(Extension, HoldsItsSiteUntilReleasedOrReplaced)
{
  IUnknown *object = createInboxMenuExtension(KIND_CONTEXT_MENU);
  void *p = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IObjectWithSite, &p), S_OK);
  auto *withSite = static_cast<IObjectWithSite *>(p);
  EXPECT_EQ(withSite->GetSite(IID_IUnknown, &p), E_FAIL);
  EXPECT_EQ(withSite->SetSite(site.get()), S_OK);
  EXPECT_EQ(site->references.load(), 2u);
  ASSERT_EQ(withSite->GetSite(IID_IDataObject, &p), S_OK);
  EXPECT_EQ(p, static_cast<IDataObject *>(site.get()));
  static_cast<IUnknown *>(p)->Release();
  EXPECT_EQ(withSite->SetSite(site.get()), S_OK); // the same site again: still one reference
  EXPECT_EQ(site->references.load(), 2u);
  withSite->Release();
  object->Release(); // the last reference releases the site (checked at tear-down)
}
