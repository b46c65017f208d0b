// The "Sorrelby" popup in a host's menu: its four commands, their labels and
// greying, the id range, and a popup left from an earlier menu.
#include "tests/inboxmenu/extension_scene.h"

#include "platform/text/wstr.h"
#include "platform/window/menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

constexpr UINT FIRST = 100;

class Popup : public ExtensionScene {
protected:
  void TearDown() override
  {
    if (host)
      DestroyMenu(host);
    ExtensionScene::TearDown();
  }

  // The host's menu: two items of its own, "Reply" and "Delete".
  void makeHostMenu()
  {
    host = CreatePopupMenu();
    AppendMenuW(host, MF_STRING, 1, u"Reply");
    AppendMenuW(host, MF_STRING, 2, u"Delete");
  }

  // The host menu's items as "text" lines, popups' items indented, greyed
  // ones marked.
  std::vector<std::string> lines(HMENU menu, const std::string &indent = "")
  {
    std::vector<std::string> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      WCHAR text[64];
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_TYPE | MIIM_SUBMENU | MIIM_STATE | MIIM_ID;
      info.dwTypeData = text;
      info.cch = 64;
      GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
      std::string line = indent + utf16ToUtf8(text);
      if (!info.hSubMenu)
        line += " #" + std::to_string(info.wID);
      if (info.fState & MFS_GRAYED)
        line += " (greyed)";
      out.push_back(line);
      if (info.hSubMenu)
        for (const std::string &sub : lines(info.hSubMenu, indent + "  "))
          out.push_back(sub);
    }
    return out;
  }

  HMENU host = nullptr;
};

const std::vector<std::string> ENABLED = {
    "Reply #1",
    "Sorrelby",
    "  Create Filter... #101",
    "  Create Appointment... #102",
    "  Create Task... #103",
    "  Mark as Known #104",
    "Delete #2",
};

} // namespace

TEST_F(Popup, BothKindsInsertTheFourCommandsAtTheIndex)
{
  for (LONG kind : {KIND_CONTEXT_MENU, KIND_SOFTKEY_MENU}) {
    makeHostMenu();
    IContextMenu *menu = makeMenu(kind);
    EXPECT_EQ(menu->QueryContextMenu(host, 1, FIRST, FIRST + 4, CMF_NORMAL), S_OK);
    EXPECT_EQ(lines(host), ENABLED) << kind;
    menu->Release();
    DestroyMenu(host);
    host = nullptr;
  }
}

TEST_F(Popup, TheFourthLabelComesFromTheProgram)
{
  TestMainWindow window;
  window.setKnown(true);
  makeHostMenu();
  IContextMenu *menu = makeMenu();
  ASSERT_EQ(menu->QueryContextMenu(host, 1, FIRST, FIRST + 4, CMF_NORMAL), S_OK);
  EXPECT_EQ(lines(host)[5], "  Mark as Unknown #104");
  ASSERT_EQ(window.commands().size(), 1u); // one code-5 exchange
  EXPECT_EQ(window.commands()[0].code, 5u);
  EXPECT_EQ(window.commands()[0].bytes, memEntryId(memObject(message)));

  // The command string asks again; invoking either label toggles.
  WCHAR text[30];
  EXPECT_EQ(menu->GetCommandString(FIRST + 4, GCS_VERBW, nullptr, text, 30), S_OK);
  EXPECT_EQ(std::u16string(text), u"Mark as Unknown");
  EXPECT_EQ(invoke(menu, u"Mark as Unknown"), S_OK);
  EXPECT_FALSE(window.known());
  EXPECT_EQ(menu->GetCommandString(FIRST + 4, GCS_VERBW, nullptr, text, 30), S_OK);
  EXPECT_EQ(std::u16string(text), u"Mark as Known");
  EXPECT_EQ(menu->GetCommandString(FIRST, GCS_VERBW, nullptr, text, 30), S_OK);
  EXPECT_EQ(std::u16string(text), u"Sorrelby");
  EXPECT_EQ(menu->GetCommandString(FIRST + 1, GCS_VERBW, nullptr, text, 30), S_OK);
  EXPECT_EQ(std::u16string(text), u"Create Filter...");
  EXPECT_EQ(menu->GetCommandString(FIRST + 5, GCS_VERBW, nullptr, text, 30), E_INVALIDARG);
  menu->Release();
}

TEST_F(Popup, UnusableSelectionsGreyTheCommandsButKeepThePopup)
{
  std::vector<std::string> greyed = ENABLED;
  for (std::size_t i = 2; i <= 5; ++i)
    greyed[i] += " (greyed)";
  struct Case {
    const char *what;
    std::function<void(TestSite &)> spoil;
  } cases[] = {
      {"bit 0x00200000", [&](TestSite &) { memSetProp(memObject(memInbox(store)), mapiLong(0x36010003, 0x00200001), false); }},
      {"bit 0x00100000", [&](TestSite &) { memSetProp(memObject(memInbox(store)), mapiLong(0x36010003, 0x00100000), false); }},
      {"bit 0x00400000", [&](TestSite &) { memSetProp(memObject(memInbox(store)), mapiLong(0x36010003, 0x00400000), false); }},
      {"no such property", [&](TestSite &) { memRemoveProp(memObject(memInbox(store)), 0x36010003); }},
      {"one reference", [](TestSite &s) { s.record.cRefs = 1; }},
      {"first is no folder", [](TestSite &s) { s.folderType = ITEMREF_TYPE_MESSAGE; }},
      {"second is no message", [](TestSite &s) { s.messageType = ITEMREF_TYPE_FOLDER; }},
      {"empty folder id", [](TestSite &s) { s.folderId.cb = 0; }},
      {"folder gone", [](TestSite &s) { s.folderBytes[s.folderBytes.size() - 2] ^= 0x55; }},
      {"no data object", [](TestSite &s) { s.answerDataObject = false; }},
      {"logon fails", [&](TestSite &) { memFailLogon(mem->world, MAPI_E_LOGON_FAILED); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    site = std::make_unique<TestSite>(memEntryId(memObject(memInbox(store))), memEntryId(memObject(message)));
    memSetProp(memObject(memInbox(store)), mapiLong(0x36010003, 1), false);
    memFailLogon(mem->world, S_OK);
    c.spoil(*site);
    makeHostMenu();
    IContextMenu *menu = makeMenu();
    EXPECT_EQ(menu->QueryContextMenu(host, 1, FIRST, FIRST + 4, CMF_NORMAL), S_OK);
    EXPECT_EQ(lines(host), greyed);
    menu->Release();
    DestroyMenu(host);
    host = nullptr;
  }
  memFailLogon(mem->world, S_OK);
}

TEST_F(Popup, AnIdRangeOneTooSmallAddsNothing)
{
  makeHostMenu();
  IContextMenu *menu = makeMenu();
  EXPECT_EQ(menu->QueryContextMenu(host, 1, FIRST, FIRST + 3, CMF_NORMAL), E_FAIL);
  EXPECT_EQ(lines(host), (std::vector<std::string>{"Reply #1", "Delete #2"}));
  // The ids were taken all the same: the command strings follow them.
  WCHAR text[30];
  EXPECT_EQ(menu->GetCommandString(FIRST + 3, GCS_VERBW, nullptr, text, 30), S_OK);
  EXPECT_EQ(std::u16string(text), u"Create Task...");
  // A range that wraps around is too small as well.
  EXPECT_EQ(menu->QueryContextMenu(host, 1, 0xFFFFFFFE, 0xFFFFFFFF, CMF_NORMAL), E_FAIL);
  EXPECT_EQ(menu->QueryContextMenu(host, 1, FIRST, FIRST + 4, CMF_NORMAL), S_OK);
  EXPECT_EQ(lines(host), ENABLED);
  menu->Release();
}

TEST_F(Popup, EarlierPopupsBeforeTheIndexGiveWayToOne)
{
  makeHostMenu();
  // Two popups left by earlier menus, in a row, and a look-alike that is no popup.
  for (int i = 0; i < 2; ++i) {
    HMENU old = CreatePopupMenu();
    AppendMenuW(old, MF_STRING, 7, u"old");
    InsertMenuW(host, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(old), u"Sorrelby");
  }
  InsertMenuW(host, 0, MF_BYPOSITION | MF_STRING, 3, u"Sorrelby");
  // Sorrelby #3, Sorrelby >, Sorrelby >, Reply, Delete
  IContextMenu *menu = makeMenu();
  EXPECT_EQ(menu->QueryContextMenu(host, 4, FIRST, FIRST + 4, CMF_NORMAL), S_OK);
  // The index counts the menu as it is now: past its end, at the end.
  std::vector<std::string> expected = {"Sorrelby #3", "Reply #1", "Delete #2"};
  expected.insert(expected.end(), ENABLED.begin() + 1, ENABLED.begin() + 6);
  EXPECT_EQ(lines(host), expected);
  // The same object again: its own popup is taken out, not destroyed, and
  // inserted once.
  EXPECT_EQ(menu->QueryContextMenu(host, 3, FIRST, FIRST + 4, CMF_NORMAL), S_OK);
  EXPECT_EQ(lines(host), expected);
  EXPECT_EQ(menu->QueryContextMenu(host, 1, FIRST, FIRST + 4, CMF_NORMAL), S_OK);
  std::vector<std::string> moved = {"Sorrelby #3"};
  moved.insert(moved.end(), ENABLED.begin() + 1, ENABLED.begin() + 6);
  moved.insert(moved.end(), {"Reply #1", "Delete #2"});
  EXPECT_EQ(lines(host), moved);
  EXPECT_EQ(menu->QueryContextMenu(host, 3, FIRST, FIRST + 4, CMF_NORMAL), S_OK);
  EXPECT_EQ(lines(host), expected);
  // Another object's popup replaces it; a popup after the index stays.
  IContextMenu *second = makeMenu(KIND_SOFTKEY_MENU);
  EXPECT_EQ(second->QueryContextMenu(host, 1, 200, 204, CMF_NORMAL), S_OK);
  std::vector<std::string> now = lines(host);
  EXPECT_EQ(std::count(now.begin(), now.end(), "Sorrelby"), 2) << "index 1 does not reach the first";
  second->Release();
  menu->Release();
}
