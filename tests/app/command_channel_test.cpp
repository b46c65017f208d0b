// The command channel on the main window: each command code sent as
// WM_COPYDATA with a message's entry id, over a memory store, with the
// contacts server writing appointments and tasks below the test root.
#include "app/command_channel.h"
#include "app/contacts_import.h"
#include "app/main_window.h"
#include "app/program_state.h"
#include "app/rule_editor_call.h"
#include "platform/com/com.h"
#include "platform/pim/pimserver.h"
#include "platform/window/controls.h"
#include "platform/window/display.h"
#include "platform/window/window.h"
#include "rules/rule_list_view.h"
#include "tests/engine/engine_scene.h"

#include <filesystem>

namespace {

// What the stand-in rule editor saw and does.
struct EditorScript {
  INT_PTR result = 0;            // what the editor ends with
  int runs = 0;                  // how often it ran
  HWND owner = nullptr;          // its owner
  Rule seen{};                   // editedRule's fields when it ran
  HWND focusInside = nullptr;    // a window it moves the focus to while open
};
EditorScript editor;

INT_PTR scriptedEditor(HWND owner)
{
  ++editor.runs;
  editor.owner = owner;
  editor.seen = *editedRule;
  if (editor.focusInside)
    SetFocus(editor.focusInside);
  return editor.result;
}

// Records what the contacts server was asked to show.
std::vector<PimDisplayRequest> shown;
HRESULT recordDisplay(const PimDisplayRequest &request, void *)
{
  shown.push_back(request);
  return S_OK;
}

LRESULT plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::u16string take(BSTR s)
{
  std::u16string t = s ? std::u16string(s, SysStringLen(s)) : std::u16string();
  SysFreeString(s);
  return t;
}

class CommandChannel : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    editor = EditorScript{};
    shown.clear();
    setRuleEditorRunner(scriptedEditor);
    pimRegisterServer(&pimCookie);
    pimSetDisplayHandler(recordDisplay, nullptr);
    importContacts(); // creates pimApplication, as start-up does
    WNDCLASSW wc{};
    wc.lpfnWndProc = mainWindowProc;
    wc.lpszClassName = u"Command Test Main";
    RegisterClassW(&wc);
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = u"Command Test Plain";
    RegisterClassW(&wc);
    mainWindow = CreateWindowExW(0, u"Command Test Main", nullptr, 0, 0, 0, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
    store = memAddStore(world(), u"Mail");
  }

  void TearDown() override
  {
    DestroyWindow(mainWindow);
    mainWindow = nullptr;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    UnregisterClassW(u"Command Test Main", nullptr);
    UnregisterClassW(u"Command Test Plain", nullptr);
    releaseContactsApplication();
    pimSetDisplayHandler(nullptr, nullptr);
    pimRevokeServer(pimCookie);
    setRuleEditorRunner(nullptr);
    editedRule = nullptr;
    EngineTest::TearDown();
  }

  HWND plainWindow(DWORD style = 0, HWND parent = nullptr)
  {
    return CreateWindowExW(0, u"Command Test Plain", nullptr, style, 0, 0, 0, 0, parent, nullptr,
                           nullptr, nullptr);
  }

  MemMessage *add(const MemMessageFields &fields) { return memAddMessage(memInbox(store), fields); }

  // Sends one command for the bytes, as the extension does.
  static LRESULT send(ULONG_PTR code, MapiEntryBytes id)
  {
    COPYDATASTRUCT data{code, static_cast<DWORD>(id.size()), id.empty() ? nullptr : id.data()};
    return SendMessageW(mainWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  }
  LRESULT send(ULONG_PTR code, MemMessage *message) { return send(code, memEntryId(memObject(message))); }

  // The level of an address in the known-users list; 0 when absent.
  static LONG levelOf(std::u16string_view address)
  {
    CriticalSectionGuard guard(&knownUsersLock);
    for (KnownUser *u = knownUsers; u; u = u->next)
      if (address == u->address)
        return u->level;
    return 0;
  }

  // True when a WM_TIMER was posted to the main window (taken out).
  static bool passRequested()
  {
    MSG msg;
    return PeekMessageW(&msg, mainWindow, WM_TIMER, WM_TIMER, PM_REMOVE) && msg.wParam == 0;
  }

  // Subject and body of every saved item of a folder (olFolderCalendar or
  // olFolderTasks), read back through the object model.
  std::vector<std::pair<std::u16string, std::u16string>> savedItems(int olFolder)
  {
    std::vector<std::pair<std::u16string, std::u16string>> items;
    EXPECT_EQ(pimApplication->Logon(0), S_OK);
    IFolder *folder = nullptr;
    IPOutlookItemCollection *collection = nullptr;
    int count = 0;
    EXPECT_EQ(pimApplication->GetDefaultFolder(olFolder, &folder), S_OK);
    EXPECT_EQ(folder->get_Items(&collection), S_OK);
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    for (int i = 1; i <= count; ++i) {
      IDispatch *item = nullptr;
      EXPECT_EQ(collection->Item(i, &item), S_OK);
      BSTR subject = nullptr, body = nullptr;
      if (olFolder == olFolderCalendar) {
        IAppointment *a = nullptr;
        EXPECT_EQ(item->QueryInterface(IID_IAppointment, reinterpret_cast<void **>(&a)), S_OK);
        a->get_Subject(&subject);
        a->get_Body(&body);
        a->Release();
      } else {
        ITask *t = nullptr;
        EXPECT_EQ(item->QueryInterface(IID_ITask, reinterpret_cast<void **>(&t)), S_OK);
        t->get_Subject(&subject);
        t->get_Body(&body);
        t->Release();
      }
      items.emplace_back(take(subject), take(body));
      item->Release();
    }
    collection->Release();
    folder->Release();
    pimApplication->Logoff();
    return items;
  }

  MemStore *store = nullptr; // "Mail", with the standard folders
  DWORD pimCookie = 0;        // the contacts server's class table entry
};

} // namespace

TEST_F(CommandChannel, FilterIsFilledFromTheMessage)
{
  openSession();
  MemMessage *withAttach = add({.from = u"Ann Smith <ann@example.org>",
                                .to = u"Bob <bob@example.net>",
                                .subject = u"Quarterly report",
                                .attach = 1});
  MemMessage *plain = add({.from = u"carl@example.org", .subject = u"Hi"});

  EXPECT_EQ(send(COMMAND_CREATE_FILTER, withAttach), 1);
  EXPECT_EQ(editor.runs, 1);
  EXPECT_EQ(editor.owner, mainWindow);
  const Rule &r = editor.seen;
  EXPECT_EQ(r.enabled, 1);
  EXPECT_EQ(std::u16string(r.mailbox), u"");
  EXPECT_EQ(std::u16string(r.from), u"ann@example.org");
  EXPECT_EQ(std::u16string(r.to), u"bob@example.net");
  EXPECT_EQ(std::u16string(r.subject), u"Quarterly report");
  EXPECT_EQ(r.hasAttach, 1);
  EXPECT_EQ(std::u16string(r.moveTo), u"Archive");
  EXPECT_EQ(r.download, 1);
  EXPECT_EQ(r.markAsRead, 0);
  EXPECT_EQ(r.isRead, 0);
  EXPECT_EQ(r.olderThan, 0);
  EXPECT_EQ(r.sizeLimit, 0);

  EXPECT_EQ(send(COMMAND_CREATE_FILTER, plain), 1);
  EXPECT_EQ(std::u16string(editor.seen.from), u"carl@example.org");
  EXPECT_EQ(std::u16string(editor.seen.to), u"");
  EXPECT_EQ(editor.seen.hasAttach, 0);
  EXPECT_EQ(std::u16string(editor.seen.moveTo), u"Archive");
  EXPECT_EQ(editor.seen.download, 1);
  EXPECT_EQ(editedRule, nullptr);
}

TEST_F(CommandChannel, FilterCancelledLeavesTheRulesAndConfirmedAppendsLastAndRefreshesTheList)
{
  openSession();
  addRule({.subject = u"first"});
  rulesDirty = 0;
  MemMessage *m = add({.from = u"ann@example.org", .subject = u"Hello"});

  for (INT_PTR cancel : {0, -1}) {
    editor.result = cancel;
    EXPECT_EQ(send(COMMAND_CREATE_FILTER, m), 1);
    EXPECT_EQ(countRules(), 1u);
    EXPECT_EQ(rulesDirty, 0);
    EXPECT_FALSE(passRequested());
  }

  // An open rules list shows the new rule at once.
  HWND list = plainWindow();
  HWND view = CreateWindowExW(0, WC_LISTVIEWW, nullptr, WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0,
                              240, 300, list, reinterpret_cast<HMENU>(1102), nullptr, nullptr);
  ASSERT_TRUE(view);
  fillRuleListView(view);
  ASSERT_EQ(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0), 1);
  rulesListDialog = list;
  editor.result = 1;
  EXPECT_EQ(send(COMMAND_CREATE_FILTER, m), 1);
  rulesListDialog = nullptr;
  EXPECT_EQ(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0), 2);
  DestroyWindow(list);
  ASSERT_EQ(countRules(), 2u);
  EXPECT_EQ(std::u16string(ruleList->next->subject), u"Hello");
  EXPECT_EQ(ruleList->next->next, nullptr);
  EXPECT_EQ(rulesDirty, 1);
  EXPECT_TRUE(passRequested());
}

TEST_F(CommandChannel, TheEditorLeavesAnOpenEditorsRuleAndTheUsersWindowsAsTheyWere)
{
  openSession();
  MemMessage *m = add({.from = u"ann@example.org"});
  HWND user = plainWindow(WS_VISIBLE);
  HWND field = plainWindow(WS_CHILD | WS_VISIBLE, user);
  HWND other = plainWindow(WS_VISIBLE);
  ASSERT_TRUE(SetForegroundWindow(user));
  SetFocus(field);
  editor.focusInside = other; // the editor takes the focus and activation

  Rule outer{};
  editedRule = &outer;
  EXPECT_EQ(send(COMMAND_CREATE_FILTER, m), 1);
  EXPECT_EQ(std::u16string(editor.seen.from), u"ann@example.org");
  EXPECT_EQ(editedRule, &outer);
  EXPECT_EQ(GetForegroundWindow(), user);
  EXPECT_EQ(GetActiveWindow(), user);
  EXPECT_EQ(GetFocus(), field);
  SetFocus(nullptr);
  DestroyWindow(other);
  DestroyWindow(user);
}

TEST_F(CommandChannel, MarkAsKnownToggles)
{
  openSession();
  MemMessage *ann = add({.from = u"Ann <ann@example.org>"});
  MemMessage *seen = add({.from = u"dora@example.org"});
  MemMessage *nobody = add({.subject = u"no sender"});
  addKnownUser(u"dora@example.org", false); // seen once by a move
  knownUsersDirty = 0;

  EXPECT_EQ(send(COMMAND_IS_KNOWN, ann), 0);
  EXPECT_EQ(send(COMMAND_TOGGLE_KNOWN, ann), 1);
  EXPECT_EQ(levelOf(u"ann@example.org"), KNOWN_USER_KNOWN);
  EXPECT_EQ(knownUsersDirty, 1);

  knownUsersDirty = 0;
  std::size_t before = countKnownUsers();
  EXPECT_EQ(send(COMMAND_IS_KNOWN, ann), 1);
  EXPECT_EQ(countKnownUsers(), before);
  EXPECT_EQ(knownUsersDirty, 0);

  EXPECT_EQ(send(COMMAND_TOGGLE_KNOWN, ann), 1);
  EXPECT_EQ(levelOf(u"ann@example.org"), 0);
  EXPECT_EQ(send(COMMAND_IS_KNOWN, ann), 0);

  EXPECT_EQ(send(COMMAND_TOGGLE_KNOWN, seen), 1);
  EXPECT_EQ(levelOf(u"dora@example.org"), KNOWN_USER_KNOWN);

  // Without a sender the empty address is what toggles.
  EXPECT_EQ(send(COMMAND_TOGGLE_KNOWN, nobody), 1);
  EXPECT_EQ(levelOf(u""), KNOWN_USER_KNOWN);
  EXPECT_EQ(send(COMMAND_IS_KNOWN, nobody), 1);
  EXPECT_EQ(send(COMMAND_TOGGLE_KNOWN, nobody), 1);
  EXPECT_EQ(send(COMMAND_IS_KNOWN, nobody), 0);
}

TEST_F(CommandChannel, ItemSubjectForms)
{
  openSession();
  struct Case {
    std::optional<std::u16string> name, subject;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"Ann", u"Lunch", u"Ann: Lunch"},
      {u"", u"Lunch", u"Lunch"},
      {std::nullopt, u"Lunch", u"Lunch"},
      {u"Ann", u"", u"Ann: "},
      {u"Ann", std::nullopt, u"Ann"},
      {std::nullopt, std::nullopt, u""},
  };
  for (const Case &c : cases) {
    MemMessage *m = add({.fromName = c.name, .subject = c.subject});
    EXPECT_EQ(send(COMMAND_CREATE_TASK, m), 1);
  }
  auto items = savedItems(olFolderTasks);
  ASSERT_EQ(items.size(), std::size(cases));
  std::multiset<std::u16string> got, want;
  for (auto &item : items)
    got.insert(item.first);
  for (const Case &c : cases)
    want.insert(c.expected);
  EXPECT_EQ(got, want);
  EXPECT_EQ(shown.size(), std::size(cases));
}

TEST_F(CommandChannel, AppointmentBodyInTheHeadersCharset)
{
  openSession();
  // "Привет" in KOI8-R, the charset in quotes on a folded line.
  MemMessage *koi = add({.fromName = u"Ann", .subject = u"Meet",
                         .text = "Subject: Meet\r\nContent-Type: text/plain;\r\n"
                                 "\tcharset=\"koi8-r\"\r\n\r\n\xF0\xD2\xC9\xD7\xC5\xD4\r\nbye\r\n"});
  EXPECT_EQ(send(COMMAND_CREATE_APPOINTMENT, koi), 1);
  auto items = savedItems(olFolderCalendar);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].first, u"Ann: Meet");
  EXPECT_EQ(items[0].second, u"Привет\r\nbye\r\n");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].itemType, olAppointmentItem);
  EXPECT_EQ(shown[0].subject, u"Ann: Meet");
  EXPECT_TRUE(std::filesystem::exists(shown[0].file));
}

TEST_F(CommandChannel, UnquotedCharsetEndsAtItsParameterSeparator)
{
  openSession();
  // The everyday form: further parameters after an unquoted charset. Taking
  // the rest of the line as the name would find no charset and turn the
  // UTF-8 text into Windows-1252 characters.
  MemMessage *m = add({.subject = u"Flowed",
                       .text = "Content-Type: text/plain; charset=utf-8; format=flowed\r\n\r\n"
                               "Gr\xC3\xBC\xC3\x9F" "e\r\n"});
  EXPECT_EQ(send(COMMAND_CREATE_TASK, m), 1);
  auto items = savedItems(olFolderTasks);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].second, u"Grüße\r\n");
}

TEST_F(CommandChannel, AStreamThatFailsMidwayGivesTheTextReadSoFar)
{
  openSession();
  // The body's first lines fit in the first reads; the stream reads at most
  // 128 bytes at a time, so the third read is well inside the body.
  std::string body;
  for (int i = 0; i < 20; ++i)
    body += "line " + std::to_string(i) + " of the body text\r\n";
  MemMessage *failing = add({.subject = u"cut", .text = "Subject: cut\r\n\r\n" + body});
  // The notification thread is done with it: the failing read is the command's.
  ASSERT_TRUE(MAPIWaitForNotifications(SCENE_WAIT_MS));

  for (bool raise : {false, true}) {
    SCOPED_TRACE(raise ? "raised" : "failed");
    if (raise)
      memThrowOnCall(world(), MapiCall::StreamRead, 3);
    else
      memFailCall(world(), MapiCall::StreamRead, 3, MAPI_E_CALL_FAILED);
    EXPECT_EQ(send(COMMAND_CREATE_TASK, failing), 1);
    memClearFaults(world());
  }
  auto items = savedItems(olFolderTasks);
  ASSERT_EQ(items.size(), 2u);
  for (auto &[subject, text] : items) {
    EXPECT_EQ(subject, u"cut");
    EXPECT_FALSE(text.empty());
    EXPECT_LT(text.size(), body.size());
    EXPECT_EQ(utf16ToUtf8(text), body.substr(0, text.size())); // whole lines, in order
    EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
  }
  EXPECT_EQ(shown.size(), 2u);
}

TEST_F(CommandChannel, NoTextOrNoContactsStillReplyOne)
{
  openSession();
  MemMessage *noText = add({.fromName = u"Ann", .subject = u"No text"});
  EXPECT_EQ(send(COMMAND_CREATE_APPOINTMENT, noText), 1);
  auto items = savedItems(olFolderCalendar);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], std::make_pair(std::u16string(u"Ann: No text"), std::u16string()));

  // Headless: nobody shows the item, and it is saved all the same.
  pimSetDisplayHandler(nullptr, nullptr);
  setDisplay(headlessDisplay());
  EXPECT_EQ(send(COMMAND_CREATE_TASK, noText), 1);
  EXPECT_EQ(savedItems(olFolderTasks).size(), 1u);
  EXPECT_EQ(shown.size(), 1u);

  // Without the contacts application nothing is made, and the reply is 1.
  IPOutlookApp *app = pimApplication;
  pimApplication = nullptr;
  EXPECT_EQ(send(COMMAND_CREATE_TASK, noText), 1);
  pimApplication = app;
  EXPECT_EQ(savedItems(olFolderTasks).size(), 1u);
}

TEST_F(CommandChannel, AMessageThatCannotBeOpenedRepliesZeroAndShowsNothing)
{
  MemMessage *m = add({.from = u"ann@example.org", .fromName = u"Ann", .subject = u"x"});
  MapiEntryBytes id = memEntryId(memObject(m));
  // No session yet.
  for (ULONG_PTR code = 1; code <= 5; ++code)
    EXPECT_EQ(send(code, id), 0) << code;

  openSession();
  MapiEntryBytes removed = memEntryId(memObject(add({.from = u"gone@example.org"})));
  memRemoveMessage(memFindMessage(world(), removed));
  const MapiEntryBytes bad[] = {
      {},                                       // no bytes at all
      {1, 2, 3},                                // not an id
      removed,                                  // a message that is gone
      memEntryId(memObject(memInbox(store))),   // a folder
      memEntryId(memObject(store)),             // a store
  };
  for (const MapiEntryBytes &b : bad)
    for (ULONG_PTR code = 1; code <= 5; ++code)
      EXPECT_EQ(send(code, b), 0) << code;

  // The notification thread is done with the messages added and removed, so
  // that the failing call is the command's, not the thread's.
  ASSERT_TRUE(MAPIWaitForNotifications(SCENE_WAIT_MS));
  memFailCall(world(), MapiCall::SessionOpenEntry, 1, MAPI_E_CALL_FAILED);
  EXPECT_EQ(send(COMMAND_TOGGLE_KNOWN, id), 0);
  memThrowOnCall(world(), MapiCall::SessionOpenEntry, 1);
  EXPECT_EQ(send(COMMAND_TOGGLE_KNOWN, id), 0);

  EXPECT_EQ(editor.runs, 0);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(countKnownUsers(), 0u);
  EXPECT_EQ(countRules(), 0u);
  EXPECT_FALSE(std::filesystem::exists(root / "PIM/Calendar"));
  EXPECT_FALSE(std::filesystem::exists(root / "PIM/Tasks"));
}

TEST_F(CommandChannel, UnknownCodesReplyZeroAndTouchNothing)
{
  openSession();
  MemMessage *m = add({.from = u"ann@example.org"});
  for (ULONG_PTR code : {ULONG_PTR{0}, ULONG_PTR{6}, ULONG_PTR{0x10004}, ~ULONG_PTR{0}})
    EXPECT_EQ(send(code, m), 0) << code;
  EXPECT_EQ(countKnownUsers(), 0u);
  EXPECT_EQ(editor.runs, 0);
  // A WM_COPYDATA without its record is no command either.
  EXPECT_EQ(SendMessageW(mainWindow, WM_COPYDATA, 0, 0), 0);
}
