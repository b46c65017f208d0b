// The rules list on the test display: the real dialog procedure, template
// and menus, a memory messaging world for the mailbox box, and a stand-in
// main window that counts the passes the dialog asks for; New and Edit
// without an editor and through the real one.
#include "app/program_state.h"
#include "app/rule_editor_call.h"
#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/display.h"
#include "rules/backup.h"
#include "rules/rule_list_view.h"
#include "tests/engine/engine_scene.h"
#include "ui/resources/resource_ids.h"
#include "ui/rule_editor.h"
#include "ui/rules_list_dialog.h"

#include <functional>

namespace {

int passRequests = 0;  // WM_TIMER with wParam 0 that reached the main window
int otherMessages = 0; // WM_USER + 5 that reached it (the modal loop serves it)

LRESULT mainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_TIMER && wParam == 0)
    ++passRequests;
  if (message == WM_USER + 5)
    ++otherMessages;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

using Step = std::function<void(HWND)>;

class RulesList : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    setDisplay(testDisplay());
    testDisplaySetScreenSize(240, 320);
    WNDCLASSW wc{};
    wc.lpfnWndProc = mainProc;
    wc.lpszClassName = u"Rules list test main";
    RegisterClassW(&wc);
    mainWindow = CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    passRequests = 0;
    otherMessages = 0;
    rulesDirty = 0;
  }

  void TearDown() override
  {
    DestroyWindow(mainWindow);
    mainWindow = nullptr;
    rulesListDialog = nullptr;
    UnregisterClassW(u"Rules list test main", nullptr);
    EXPECT_EQ(testDisplayUnscripted(), 0) << "a dialog waited with no step left";
    setDisplay(headlessDisplay());
    EngineTest::TearDown();
  }

  // Runs the dialog with the steps; returns its result.
  static INT_PTR run(std::vector<Step> steps)
  {
    testDisplayScript(std::move(steps));
    return openRulesList();
  }

  static void key(WPARAM vk, bool shift = false) { displayKey(vk, shift); }

  static std::vector<std::u16string> lines(HWND dialog)
  {
    HWND view = GetDlgItem(dialog, IDC_RULES);
    std::vector<std::u16string> out;
    int n = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      WCHAR text[1024];
      LVITEMW item{};
      item.pszText = text;
      item.cchTextMax = 1024;
      SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      out.emplace_back(text);
    }
    return out;
  }

  static std::vector<std::u16string> mailboxes(HWND dialog)
  {
    std::vector<std::u16string> out;
    auto n = SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      WCHAR text[128];
      SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      out.emplace_back(text);
    }
    return out;
  }

  static bool ticked(HWND dialog, int line)
  {
    auto state = SendDlgItemMessageW(dialog, IDC_RULES, LVM_GETITEMSTATE, static_cast<WPARAM>(line), LVIS_STATEIMAGEMASK);
    return (state >> 12) == 2;
  }

  static std::string screenText()
  {
    std::string all;
    for (const std::string &line : testDisplayScreen())
      all += line + "\n";
    return all;
  }
};

TEST_F(RulesList, ShowsEveryRuleAndEachStoreNameOnce)
{
  memAddStore(world(), u"Work");
  memAddStore(world(), u"Local");
  memAddStore(world(), u"Work");
  openSession();
  addRule({.isRead = true, .download = true});
  addRule({.from = u">> Known users <<", .download = true, .enabled = false});
  addRule({.moveTo = u"Archive", .isRead = true, .olderThan = 1, .mailbox = u"Work"});

  HWND seen = nullptr;
  INT_PTR result = run({[&](HWND dialog) {
    seen = dialog;
    EXPECT_EQ(rulesListDialog, dialog);
    EXPECT_FALSE(listUpdating);
    EXPECT_EQ(mailboxes(dialog), (std::vector<std::u16string>{u"<< Any Mailbox >>", u"Local", u"Work"}));
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(lines(dialog), (std::vector<std::u16string>{u"Download where Read",
                                                           u"Download where From=\">> Known users <<\"",
                                                           u"Move to Archive where Older than 1 min and Read"}));
    EXPECT_TRUE(ticked(dialog, 0));
    EXPECT_FALSE(ticked(dialog, 1));
    std::string screen = screenText();
    EXPECT_NE(screen.find("Quillmarsh"), std::string::npos) << screen;
    EXPECT_NE(screen.find("[x] Download where Read"), std::string::npos) << screen;
    EXPECT_NE(screen.find("[ ] Download where From"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Menu"), std::string::npos) << screen;
    EndDialog(dialog, 1);
  }});
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_EQ(rulesDirty, 0) << "showing the rules changes none";
  EXPECT_EQ(ruleList->next->enabled, 0);
  EXPECT_EQ(passRequests, 0);
}

TEST_F(RulesList, TheRulesHaveTheFocusFirstAndTabReachesTheMailboxBox)
{
  addRule({.download = true});
  addRule({.markAsRead = true});
  run({[&](HWND dialog) {
         EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_RULES));
         key(VK_DOWN); // the first rule
         key(VK_DOWN); // the second
         key(VK_SPACE);
       },
       [&](HWND) {
         EXPECT_EQ(ruleList->enabled, 1);
         EXPECT_EQ(ruleList->next->enabled, 0) << "the second rule was switched off from the keyboard";
         key(VK_TAB, true);
       },
       [&](HWND dialog) {
         EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_MAILBOX)) << "the mailbox box is one Shift-Tab away";
         EndDialog(dialog, 1);
       }});
}

TEST_F(RulesList, MailboxBoxNarrowsTheListAndReopensWithAnyMailbox)
{
  memAddStore(world(), u"Local");
  memAddStore(world(), u"Work");
  openSession();
  addRule({.download = true, .mailbox = u"Work"});
  addRule({.markAsRead = true});
  addRule({.moveTo = u"Old", .mailbox = u"Local"});

  run({[&](HWND dialog) { SetFocus(GetDlgItem(dialog, IDC_MAILBOX)); },
       [&](HWND) { key(VK_RETURN); },  // opens the list
       [&](HWND) { key(VK_END); },     // "Work", the last entry
       [&](HWND) { key(VK_RETURN); },  // chosen: CBN_SELCHANGE
       [&](HWND dialog) {
         EXPECT_EQ(std::u16string(mailboxFilter), u"Work");
         EXPECT_EQ(lines(dialog), (std::vector<std::u16string>{u"Download where ", u"Mark as read where "}));
         EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_RULES, LVM_GETITEMCOUNT, 0, 0), 2) << "indexes stay contiguous";
         PostMessageW(dialog, WM_COMMAND, IDM_HIDE, 0);
       }});
  EXPECT_EQ(rulesDirty, 0);

  run({[&](HWND dialog) {
    EXPECT_EQ(mailboxFilter[0], 0);
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(lines(dialog).size(), 3u);
    EndDialog(dialog, 1);
  }});
}

TEST_F(RulesList, CheckBoxesSwitchRulesAndOnlySwitchingOnAsksForAPass)
{
  openSession();
  addRule({.download = true});
  addRule({.markAsRead = true, .enabled = false});

  run({[&](HWND dialog) { SetFocus(GetDlgItem(dialog, IDC_RULES)); },
       [&](HWND) { key(VK_DOWN); }, // selects the first line
       [&](HWND) {
         EXPECT_EQ(rulesDirty, 0) << "selecting a line changes no rule";
         EXPECT_EQ(passRequests, 0);
         key(VK_SPACE);
       },
       [&](HWND dialog) {
         EXPECT_FALSE(ticked(dialog, 0));
         EXPECT_EQ(ruleList->enabled, 0);
         EXPECT_EQ(rulesDirty, 1);
         EXPECT_EQ(passRequests, 0) << "switching a rule off needs no pass";
         rulesDirty = 0;
         key(VK_DOWN);
       },
       [&](HWND) { key(VK_SPACE); },
       [&](HWND dialog) {
         EXPECT_TRUE(ticked(dialog, 1));
         EXPECT_EQ(ruleList->next->enabled, 1);
         EXPECT_EQ(rulesDirty, 1);
         EXPECT_EQ(passRequests, 1) << "a rule switched on is tried at once";
         key(VK_ESCAPE); // a close request
       }});
  EXPECT_EQ(ruleList->enabled, 0);
  EXPECT_EQ(ruleList->next->enabled, 1);
}

TEST_F(RulesList, DeletingTheOnlyRuleLeavesNothing)
{
  openSession();
  addRule({.download = true});

  INT_PTR result = run({[&](HWND dialog) {
                          PostMessageW(dialog, WM_COMMAND, IDM_DELETE, 0); // nothing selected: nothing
                        },
                        [&](HWND dialog) {
                          EXPECT_NE(ruleList, nullptr);
                          EXPECT_EQ(rulesDirty, 0);
                          SetFocus(GetDlgItem(dialog, IDC_RULES));
                          key(VK_DOWN);
                        },
                        [&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDM_DELETE, 0); },
                        [&](HWND dialog) {
                          EXPECT_EQ(ruleList, nullptr);
                          EXPECT_EQ(countRules(), 0u);
                          EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_RULES, LVM_GETITEMCOUNT, 0, 0), 0);
                          EXPECT_EQ(rulesDirty, 1);
                          EXPECT_EQ(passRequests, 0);
                          PostMessageW(dialog, WM_COMMAND, IDM_EXIT, 0);
                        }});
  EXPECT_EQ(result, 0) << "Exit ends the program";
}

TEST_F(RulesList, NewAndEditWithoutAnEditorChangeNothing)
{
  openSession();
  addRule({.download = true});
  run({[&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDM_NEW, 0); },
       [&](HWND dialog) {
         SetFocus(GetDlgItem(dialog, IDC_RULES));
         key(VK_DOWN);
       },
       [&](HWND) { key(VK_RETURN); }, // a double tap: Edit
       [&](HWND dialog) {
         EXPECT_EQ(countRules(), 1u);
         EXPECT_EQ(rulesDirty, 0);
         EXPECT_EQ(passRequests, 0);
         EXPECT_EQ(lines(dialog).size(), 1u);
         EndDialog(dialog, 1);
       }});
}

TEST_F(RulesList, HideDoneAndCloseKeepTheProgramExitEndsIt)
{
  openSession();
  struct Ending {
    const char *what;
    Step step;
    INT_PTR result;
  };
  const Ending endings[] = {
      {"Hide", [](HWND d) { PostMessageW(d, WM_COMMAND, IDM_HIDE, 0); }, 1},
      {"Done", [](HWND) { displayTap(78, 0, false); }, 1},
      {"close request", [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }, 1},
      {"Exit", [](HWND d) { PostMessageW(d, WM_COMMAND, IDM_EXIT, 0); }, 0},
      {"other command", [](HWND d) {
         PostMessageW(d, WM_COMMAND, 40005, 0);
         PostMessageW(d, WM_COMMAND, IDM_HIDE, 0);
       }, 1},
  };
  for (const Ending &e : endings)
    EXPECT_EQ(run({e.step}), e.result) << e.what;
}

TEST_F(RulesList, SoftkeyAndContextMenuCarryTheCommands)
{
  openSession();
  addRule({.download = true});
  INT_PTR hidden = run({[&](HWND) { key(VK_F2); }, // the "Menu" popup opens
                        [&](HWND menu) {
                          std::string screen = screenText();
                          EXPECT_NE(screen.find("Hide"), std::string::npos) << screen;
                          EXPECT_NE(screen.find("About..."), std::string::npos) << screen;
                          EXPECT_NE(menu, rulesListDialog) << "the popup's loop runs this step";
                          key(VK_RETURN); // its first item, "Hide"
                        }});
  EXPECT_EQ(hidden, 1);

  INT_PTR exited = run({[&](HWND dialog) { SetFocus(GetDlgItem(dialog, IDC_RULES)); },
                        [&](HWND) { key(VK_F10, true); }, // tap-and-hold
                        [&](HWND) { key(VK_UP); },        // wraps round to the last item, "Exit"
                        [&](HWND) { key(VK_RETURN); }});
  EXPECT_EQ(exited, 0);
  EXPECT_EQ(countRules(), 1u);
}

TEST_F(RulesList, WithoutAStoreTableOnlyAnyMailbox)
{
  openSession();
  memFailAlways(world(), MapiCall::SessionGetMsgStoresTable, MAPI_E_NO_SUPPORT);
  run({[&](HWND dialog) {
    EXPECT_EQ(mailboxes(dialog), (std::vector<std::u16string>{u"<< Any Mailbox >>"}));
    EndDialog(dialog, 1);
  }});
  memClearFaults(world());
}

TEST_F(RulesList, FillsTheScreenAndFollowsItsSize)
{
  openSession();
  run({[&](HWND dialog) {
         RECT d, box, logo, view;
         GetWindowRect(dialog, &d);
         GetWindowRect(GetDlgItem(dialog, IDC_MAILBOX), &box);
         GetWindowRect(GetDlgItem(dialog, IDC_LOGO), &logo);
         GetWindowRect(GetDlgItem(dialog, IDC_RULES), &view);
         EXPECT_EQ(d.top, DISPLAY_CELL_HEIGHT);
         EXPECT_EQ(d.bottom, 320 - DISPLAY_CELL_HEIGHT);
         EXPECT_EQ(d.right - d.left, 240);
         EXPECT_LT(box.right, logo.left) << "the box ends before the logo";
         EXPECT_EQ(view.top, box.bottom + 1) << "the list starts under the box";
         EXPECT_GE(view.right, d.right - 1);
         EXPECT_GE(view.bottom, d.bottom - 1);
         testDisplaySetScreenSize(360, 520);
       },
       [&](HWND dialog) {
         RECT d, view;
         GetWindowRect(dialog, &d);
         GetWindowRect(GetDlgItem(dialog, IDC_RULES), &view);
         EXPECT_EQ(d.right - d.left, 360);
         EXPECT_GE(view.right, d.right - 1);
         EXPECT_GE(view.bottom, d.bottom - 1);
         EndDialog(dialog, 1);
       }});
}

TEST_F(RulesList, MainWindowIsServedWhileTheListIsOpen)
{
  openSession();
  PostMessageW(mainWindow, WM_USER + 5, 0, 0);
  run({[&](HWND dialog) {
    EXPECT_EQ(otherMessages, 1);
    EndDialog(dialog, 1);
  }});
}


// The rules list with the rule editor behind New and Edit.
class RulesListEditing : public RulesList {
protected:
  void SetUp() override
  {
    RulesList::SetUp();
    setRuleEditorRunner(runRuleEditorDialog);
  }

  void TearDown() override
  {
    setRuleEditorRunner(nullptr);
    editedRule = nullptr;
    RulesList::TearDown();
  }

  static std::u16string text(HWND dialog, int id)
  {
    WCHAR buffer[128] = {};
    GetDlgItemTextW(dialog, id, buffer, 128);
    return buffer;
  }

  // In the editor: the subject ticked and typed.
  static void typeSubject(HWND editor, const char16_t *subject)
  {
    if (SendDlgItemMessageW(editor, IDC_RULE_SUBJECT_CHECK, BM_GETCHECK, 0, 0) != BST_CHECKED)
      SendDlgItemMessageW(editor, IDC_RULE_SUBJECT_CHECK, BM_CLICK, 0, 0);
    SetDlgItemTextW(editor, IDC_RULE_SUBJECT, subject);
  }
};

TEST_F(RulesListEditing, NewTakesTheChosenMailboxOkAppendsItLastWithAPassCancelAddsNothing)
{
  memAddStore(world(), u"Local");
  memAddStore(world(), u"Work");
  openSession();
  addRule({.download = true});

  run({[&](HWND dialog) { SetFocus(GetDlgItem(dialog, IDC_MAILBOX)); },
       [&](HWND) { key(VK_RETURN); },
       [&](HWND) { key(VK_END); }, // "Work"
       [&](HWND) { key(VK_RETURN); },
       [&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDM_NEW, 0); },
       [&](HWND editor) {
         EXPECT_EQ(text(editor, IDC_RULE_MAILBOX), u"Work") << "a new rule is for the chosen mailbox";
         typeSubject(editor, u"report");
         SendMessageW(editor, WM_COMMAND, IDOK, 0);
       },
       [&](HWND dialog) {
         ASSERT_EQ(countRules(), 2u);
         const Rule *made = ruleList->next;
         EXPECT_EQ(std::u16string(made->subject), u"report");
         EXPECT_EQ(std::u16string(made->mailbox), u"Work");
         EXPECT_EQ(made->enabled, 1);
         auto shown = lines(dialog);
         ASSERT_EQ(shown.size(), 2u);
         EXPECT_NE(shown[1].find(u"Subj=\"report\""), std::u16string::npos) << "appended last, listed at once";
         EXPECT_EQ(rulesDirty, 1);
         EXPECT_EQ(passRequests, 1) << "a new rule is tried at once";
         PostMessageW(dialog, WM_COMMAND, IDM_NEW, 0);
       },
       [&](HWND editor) {
         typeSubject(editor, u"dropped");
         SendMessageW(editor, WM_COMMAND, IDCANCEL, 0);
       },
       [&](HWND dialog) {
         EXPECT_EQ(countRules(), 2u);
         EXPECT_EQ(lines(dialog).size(), 2u);
         EXPECT_EQ(passRequests, 1);
         EndDialog(dialog, 1);
       }});
}

TEST_F(RulesListEditing, EditingADisabledRuleAsksForNoPassAnEnabledOneDoes)
{
  openSession();
  addRule({.subject = u"old", .enabled = false});
  addRule({.subject = u"on"});

  run({[&](HWND dialog) { SetFocus(GetDlgItem(dialog, IDC_RULES)); },
       [&](HWND) { key(VK_DOWN); },
       [&](HWND) { key(VK_RETURN); }, // a double tap on the first line: Edit
       [&](HWND editor) {
         EXPECT_EQ(text(editor, IDC_RULE_SUBJECT), u"old") << "the editor has the line's rule";
         typeSubject(editor, u"new");
         SendMessageW(editor, WM_COMMAND, IDOK, 0);
       },
       [&](HWND dialog) {
         EXPECT_EQ(lines(dialog)[0], u"Do nothing where Subj=\"new\"");
         EXPECT_EQ(std::u16string(ruleList->subject), u"new");
         EXPECT_EQ(ruleList->enabled, 0);
         EXPECT_EQ(countRules(), 2u) << "edited in place";
         EXPECT_EQ(rulesDirty, 1);
         EXPECT_EQ(passRequests, 0) << "a disabled rule needs no pass";
         key(VK_DOWN);
       },
       [&](HWND) { key(VK_RETURN); },
       [&](HWND editor) {
         EXPECT_EQ(text(editor, IDC_RULE_SUBJECT), u"on");
         SendMessageW(editor, WM_COMMAND, IDOK, 0);
       },
       [&](HWND dialog) {
         EXPECT_EQ(passRequests, 1) << "an enabled rule edited is tried at once";
         EndDialog(dialog, 1);
       }});
}

TEST_F(RulesListEditing, AnImportWhileTheEditorIsOpenDropsTheEditAndKeepsTheImportedRules)
{
  openSession();
  addRule({.subject = u"imported"});
  const std::filesystem::path backup = root / "rules.bak";
  std::string reason;
  ASSERT_TRUE(exportBackup(backup, &reason)) << reason;
  clearRules();
  addRule({.subject = u"first"});
  addRule({.subject = u"second"});

  run({[&](HWND dialog) { SetFocus(GetDlgItem(dialog, IDC_RULES)); },
       [&](HWND) { key(VK_DOWN); },
       [&](HWND) { key(VK_DOWN); },
       [&](HWND) { key(VK_RETURN); }, // Edit "second"
       [&](HWND editor) {
         // The rules are replaced beneath the editor, and the list refilled,
         // as the settings dialog's Import does.
         BackupSummary summary;
         ASSERT_TRUE(importBackup(backup, &summary, &reason)) << reason;
         fillRuleListView(GetDlgItem(rulesListDialog, IDC_RULES));
         typeSubject(editor, u"edited");
         SendMessageW(editor, WM_COMMAND, IDOK, 0);
       },
       [&](HWND dialog) {
         ASSERT_EQ(countRules(), 1u);
         EXPECT_EQ(std::u16string(ruleList->subject), u"imported") << "the edit went nowhere";
         EXPECT_EQ(lines(dialog), (std::vector<std::u16string>{u"Do nothing where Subj=\"imported\""}));
         EXPECT_EQ(passRequests, 0);
         EndDialog(dialog, 1);
       }});
}

} // namespace
