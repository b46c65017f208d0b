// Filling the rules list's list view: a real list view control in a window
// whose procedure records what the list reports while it is filled.
#include "rules/rule_list_view.h"

#include "platform/module/module.h"
#include "platform/text/wstr.h"
#include "platform/window/controls.h"
#include "services/resources.h"
#include "tests/rules/fixtures.h"
#include "ui/resources/program_resources.h"

#include <string>
#include <vector>

namespace {

int changesWhileFilling = 0; // LVN_ITEMCHANGED seen with listUpdating set
int changesOtherwise = 0;    // and without it

LRESULT ownerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_NOTIFY && reinterpret_cast<const NMHDR *>(lParam)->code == LVN_ITEMCHANGED)
    ++(listUpdating ? changesWhileFilling : changesOtherwise);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

Rule *add(const char16_t *mailbox, BYTE enabled, const char16_t *moveTo)
{
  Rule *r = newRule();
  r->enabled = enabled;
  wstrCopy(r->mailbox, RULE_TEXT_CHARS, mailbox);
  wstrCopy(r->moveTo, RULE_TEXT_CHARS, moveTo);
  appendRule(r);
  return r;
}

class RuleListView : public RulesTest {
protected:
  static void SetUpTestSuite()
  {
    HMODULE self = GetModuleHandleW(nullptr);
    registerProgramResources(self);
    resourceModule = self;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ownerProc;
    wc.lpszClassName = u"List view owner";
    RegisterClassW(&wc);
  }

  void SetUp() override
  {
    RulesTest::SetUp();
    owner = CreateWindowExW(0, u"List view owner", nullptr, 0, 0, 0, 240, 300, nullptr, nullptr, nullptr, nullptr);
    view = CreateWindowExW(0, WC_LISTVIEWW, nullptr, WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, 0, 0, 240,
                           300, owner, reinterpret_cast<HMENU>(1102), nullptr, nullptr);
    SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    mailboxFilter[0] = 0;
    listUpdating = false;
    changesWhileFilling = changesOtherwise = 0;
  }

  void TearDown() override
  {
    DestroyWindow(owner);
    mailboxFilter[0] = 0;
    RulesTest::TearDown();
  }

  struct Line {
    std::string text;
    Rule *rule;
    int image;
    bool selected;
    bool operator==(const Line &) const = default;
  };

  std::vector<Line> lines() const
  {
    std::vector<Line> out;
    int n = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      WCHAR text[1024];
      LVITEMW item{};
      item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
      item.iItem = i;
      item.pszText = text;
      item.cchTextMax = 1024;
      item.stateMask = ~0u;
      SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      out.push_back(Line{utf16ToUtf8(text), reinterpret_cast<Rule *>(item.lParam),
                         static_cast<int>(item.state >> 12), (item.state & LVIS_SELECTED) != 0});
    }
    return out;
  }

  HWND owner = nullptr; // the list view's parent
  HWND view = nullptr;  // the list view
};

TEST_F(RuleListView, MailboxFilterKeepsItsStoreAndAnyStoreWithContiguousLines)
{
  Rule *work = add(u"Work", 1, u"A");
  add(u"Home", 1, u"B");
  Rule *any = add(u"", 0, u"C");
  add(u"work", 1, u"D"); // another store: names compare exactly
  Rule *work2 = add(u"Work", 1, u"E");

  wstrCopy(mailboxFilter, RULE_TEXT_CHARS, u"Work");
  fillRuleListView(view);
  EXPECT_EQ(lines(), (std::vector<Line>{{"Move to A where ", work, 2, false},
                                        {"Move to C where ", any, 1, false},
                                        {"Move to E where ", work2, 2, false}}));

  mailboxFilter[0] = 0;
  fillRuleListView(view);
  EXPECT_EQ(lines().size(), 5u);
}

TEST_F(RuleListView, FillingNeverChangesARuleAndHidesItsOwnChanges)
{
  add(u"", 0, u"A");
  add(u"", 1, u"B");
  fillRuleListView(view);
  fillRuleListView(view);
  EXPECT_EQ(ruleList->enabled, 0);
  EXPECT_EQ(ruleList->next->enabled, 1);
  EXPECT_EQ(rulesDirty, 0);
  EXPECT_GT(changesWhileFilling, 0) << "the state images are set through the list view";
  EXPECT_EQ(changesOtherwise, 0) << "every change of filling is made with listUpdating set";
  EXPECT_FALSE(listUpdating) << "restored";

  listUpdating = true; // set by the dialog while it initialises: filling keeps it
  fillRuleListView(view);
  EXPECT_TRUE(listUpdating);
}

TEST_F(RuleListView, TheLineAtTheMarkIsSelectedAgainEvenWithAnotherRule)
{
  add(u"", 1, u"A");
  Rule *b = add(u"", 1, u"B");
  Rule *c = add(u"", 1, u"C");
  fillRuleListView(view);
  SendMessageW(view, LVM_SETSELECTIONMARK, 0, 1);

  removeRule(b);
  fillRuleListView(view);
  std::vector<Line> now = lines();
  ASSERT_EQ(now.size(), 2u);
  EXPECT_EQ(now[1], (Line{"Move to C where ", c, 2, true}));
  EXPECT_FALSE(now[0].selected);
  EXPECT_EQ(SendMessageW(view, LVM_GETSELECTIONMARK, 0, 0), 1);
}

TEST_F(RuleListView, NoRulesNoLines)
{
  SendMessageW(view, LVM_SETSELECTIONMARK, 0, -1);
  fillRuleListView(view);
  EXPECT_TRUE(lines().empty());
  EXPECT_EQ(SendMessageW(view, LVM_GETSELECTIONMARK, 0, 0), -1);
}

} // namespace
