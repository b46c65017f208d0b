// The rule editor on the test display: the real dialog procedure and
// template over rules built in the test, with a memory messaging world for
// the mailbox box and the suggestions.
#include "app/rule_editor_call.h"
#include "tests/ui/editor_scene.h"
#include "ui/resources/resource_ids.h"
#include "ui/rule_editor.h"

#include <algorithm>
#include <cstring>

namespace {

class RuleEditor : public DialogTest {
protected:
  void TearDown() override
  {
    editedRule = nullptr;
    DialogTest::TearDown();
  }

  // Runs the editor over rule with the steps; returns its result.
  static INT_PTR edit(Rule &rule, std::vector<DialogStep> steps)
  {
    testDisplayScript(std::move(steps));
    editedRule = &rule;
    return runRuleEditorDialog(mainWindow);
  }

  static Rule ruleOf(const RuleFields &fields)
  {
    Rule *made = addRule(fields);
    Rule copy = *made;
    clearRules();
    copy.next = nullptr;
    return copy;
  }

  static bool has(const std::vector<std::u16string> &list, const std::u16string &entry)
  {
    return std::count(list.begin(), list.end(), entry) == 1;
  }
};

TEST_F(RuleEditor, SizeLimitsKeepTheirSignAndTheTextsSignCountsFirst)
{
  Rule rule = ruleOf({.sizeLimit = -10240});
  EXPECT_EQ(edit(rule, {[](HWND d) {
              EXPECT_TRUE(checked(d, IDC_RULE_SIZE_CHECK));
              EXPECT_EQ(SendDlgItemMessageW(d, IDC_RULE_SIZE_SIGN, CB_GETCURSEL, 0, 0), 0);
              EXPECT_EQ(text(d, IDC_RULE_SIZE_SIGN), u"<=");
              EXPECT_EQ(text(d, IDC_RULE_SIZE), u"10");
              EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_RULE_SIZE)));
              command(d, IDOK);
            }}),
            1);
  EXPECT_EQ(rule.sizeLimit, -10240);

  edit(rule, {[](HWND d) {
    SendDlgItemMessageW(d, IDC_RULE_SIZE_SIGN, CB_SETCURSEL, 1, 0);
    command(d, IDOK);
  }});
  EXPECT_EQ(rule.sizeLimit, 10240) << ">=";

  edit(rule, {[](HWND d) {
    EXPECT_EQ(text(d, IDC_RULE_SIZE_SIGN), u">=");
    SendDlgItemMessageW(d, IDC_RULE_SIZE_SIGN, CB_SETCURSEL, 0, 0);
    SetDlgItemTextW(d, IDC_RULE_SIZE, u"-5");
    command(d, IDOK);
  }});
  EXPECT_EQ(rule.sizeLimit, 5120) << "\"-5\" with \"<=\" is a lower limit";

  edit(rule, {[](HWND d) {
    SetDlgItemTextW(d, IDC_RULE_SIZE, u"99999999999");
    command(d, IDOK);
  }});
  EXPECT_EQ(rule.sizeLimit, 2147483647) << "\">=\" now; held within the field";

  edit(rule, {[](HWND d) {
    SetDlgItemTextW(d, IDC_RULE_SIZE, u"big");
    command(d, IDOK);
  }});
  EXPECT_EQ(rule.sizeLimit, 0) << "no number, no condition";

  edit(rule, {[](HWND d) {
    EXPECT_FALSE(checked(d, IDC_RULE_SIZE_CHECK));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_RULE_SIZE_SIGN)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_RULE_SIZE)));
    EXPECT_EQ(text(d, IDC_RULE_SIZE), u"");
    click(d, IDC_RULE_SIZE_CHECK);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_RULE_SIZE)));
    SetDlgItemTextW(d, IDC_RULE_SIZE, u"250");
    command(d, IDOK);
  }});
  EXPECT_EQ(rule.sizeLimit, -256000);
}

TEST_F(RuleEditor, AgeZeroOpensClearedAndShowsZero)
{
  Rule rule = ruleOf({.olderThan = 0});
  edit(rule, {[](HWND d) {
    EXPECT_FALSE(checked(d, IDC_RULE_OLDER_CHECK));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_RULE_OLDER)));
    EXPECT_EQ(text(d, IDC_RULE_OLDER), u"0");
    EXPECT_EQ(entries(d, IDC_RULE_OLDER).size(), 8u);
    click(d, IDC_RULE_OLDER_CHECK);
    SetDlgItemTextW(d, IDC_RULE_OLDER, u"15 min");
    command(d, IDOK);
  }});
  EXPECT_EQ(rule.olderThan, 15);
}

TEST_F(RuleEditor, DeleteAndKnownUsersShowTheirDisplayTextsAndStoreTheStoredForms)
{
  Rule rule = ruleOf({.from = u">> Known users <<", .moveTo = u">> DELETE <<"});
  edit(rule, {[](HWND d) {
    EXPECT_TRUE(checked(d, IDC_RULE_FROM_CHECK));
    EXPECT_EQ(text(d, IDC_RULE_FROM), u">> Known users <<");
    EXPECT_EQ(text(d, IDC_RULE_MOVE_TO), u">> DELETE <<");
    command(d, IDOK);
  }});
  EXPECT_EQ(std::u16string(rule.from), u">> Known users <<");
  EXPECT_EQ(std::u16string(rule.moveTo), u">> DELETE <<");

  Rule typed = ruleOf({});
  edit(typed, {[](HWND d) {
    click(d, IDC_RULE_FROM_CHECK);
    SetDlgItemTextW(d, IDC_RULE_FROM, u">> Known users <<");
    SetDlgItemTextW(d, IDC_RULE_MOVE_TO, u">> DELETE <<");
    command(d, IDOK);
  }});
  EXPECT_EQ(std::u16string(typed.from), u">> Known users <<");
  EXPECT_EQ(std::u16string(typed.moveTo), u">> DELETE <<");

  edit(typed, {[](HWND d) {
    click(d, IDC_RULE_FROM_CHECK); // cleared
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_RULE_FROM)));
    command(d, IDOK);
  }});
  EXPECT_EQ(typed.from[0], 0) << "a cleared From: stores nothing, whatever the box shows";
}

TEST_F(RuleEditor, OkDropsTheBodyAndCancelLeavesEveryByte)
{
  Rule rule = ruleOf({.from = u"ann@example.org", .subject = u"Report", .moveTo = u"Work", .isRead = true,
                      .olderThan = 30, .sizeLimit = 4096, .download = true, .playSound = u"/s/ring.wav",
                      .mailbox = u"Home", .enabled = false});
  wstrCopy(rule.body, RULE_TEXT_CHARS, u"body words");
  rule.reserved1 = 7;
  Rule before = rule;
  EXPECT_EQ(edit(rule, {[](HWND d) {
              SetDlgItemTextW(d, IDC_RULE_SUBJECT, u"Changed");
              click(d, IDC_RULE_READ);
              click(d, IDC_RULE_MARK_AS_READ);
              SendDlgItemMessageW(d, IDC_RULE_SIZE_SIGN, CB_SETCURSEL, 0, 0);
              command(d, IDCANCEL);
            }}),
            0);
  EXPECT_EQ(std::memcmp(&rule, &before, sizeof rule), 0) << "Cancel leaves the record as it was";

  EXPECT_EQ(edit(rule, {[](HWND d) { SendMessageW(d, WM_CLOSE, 0, 0); }}), 0);
  EXPECT_EQ(std::memcmp(&rule, &before, sizeof rule), 0) << "so does a close request";

  EXPECT_EQ(edit(rule, {[](HWND d) { command(d, IDOK); }}), 1);
  EXPECT_EQ(rule.body[0], 0) << "the form has no body: OK empties it";
  EXPECT_EQ(rule.enabled, 0) << "enabled is never the editor's";
  EXPECT_EQ(rule.reserved1, 7);
  EXPECT_EQ(std::u16string(rule.from), u"ann@example.org");
  EXPECT_EQ(rule.sizeLimit, 4096);
  EXPECT_EQ(rule.olderThan, 30);
  EXPECT_EQ(rule.isRead, 1);
  EXPECT_EQ(rule.download, 1);
  EXPECT_EQ(std::u16string(rule.playSound), u"/s/ring.wav");
  EXPECT_EQ(rule.mailbox[0], 0) << "no store \"Home\": the box has no choice, OK stores any mailbox";
}

TEST_F(RuleEditor, TwoOpenEditorsEachWriteOnlyTheirOwnRule)
{
  Rule outer = ruleOf({.subject = u"outer"});
  Rule inner = ruleOf({.subject = u"inner"});
  EXPECT_EQ(edit(outer, {[&](HWND d) {
                           SetDlgItemTextW(d, IDC_RULE_SUBJECT, u"outer edited");
                           // A create-filter command arrives: a second editor above this one.
                           editedRule = &inner;
                           EXPECT_EQ(runRuleEditorDialog(mainWindow), 1);
                           command(d, IDOK);
                         },
                         [](HWND d) {
                           EXPECT_EQ(text(d, IDC_RULE_SUBJECT), u"inner");
                           SetDlgItemTextW(d, IDC_RULE_SUBJECT, u"inner edited");
                           command(d, IDOK);
                         }}),
            1);
  EXPECT_EQ(std::u16string(outer.subject), u"outer edited");
  EXPECT_EQ(std::u16string(inner.subject), u"inner edited");
}

TEST_F(RuleEditor, MailboxBoxListsEveryStoreAndChoosesTheRulesOne)
{
  memAddStore(world(), u"Work");
  memAddStore(world(), u"Home");
  memAddStore(world(), u"Work");
  openSession();
  Rule rule = ruleOf({.mailbox = u"Home"});
  edit(rule, {[](HWND d) {
    EXPECT_EQ(entries(d, IDC_RULE_MAILBOX),
              (std::vector<std::u16string>{u"<< Any Mailbox >>", u"Work", u"Home", u"Work"}));
    EXPECT_EQ(text(d, IDC_RULE_MAILBOX), u"Home");
    SendDlgItemMessageW(d, IDC_RULE_MAILBOX, CB_SETCURSEL, 1, 0);
    command(d, IDOK);
  }});
  EXPECT_EQ(std::u16string(rule.mailbox), u"Work");
}

TEST_F(RuleEditor, SuggestionsFollowTheMailboxAndKeepWhatWasTyped)
{
  MemStore *work = memAddStore(world(), u"Work");
  MemStore *home = memAddStore(world(), u"Home");
  memAddMessage(memInbox(work), {.from = u"Ann <ann@work.example>", .to = u"team@work.example", .subject = u"Plan"});
  memAddMessage(memInbox(work), {.from = u"ANN@work.example", .cc = u"Boss <boss@work.example>", .subject = u"plan"});
  memAddMessage(memInbox(home), {.from = u"mum@home.example", .subject = u"Dinner"});
  memAddFolder(memTop(work), u"Projects");
  memAddFolder(memInbox(work), u"projects"); // the same name under the Inbox
  memAddFolder(memInbox(work), u"Lists");
  memAddFolder(ensureFolder(work, u"Archive"), u"2023");
  memAddFolder(memTop(home), u"Family");
  openSession();

  Rule rule = ruleOf({});
  edit(rule, {[&](HWND d) {
    auto from = entries(d, IDC_RULE_FROM);
    EXPECT_TRUE(has(from, u">> Known users <<"));
    EXPECT_TRUE(has(from, u"ann@work.example")) << "reduced to the address, listed once";
    EXPECT_TRUE(has(from, u"mum@home.example"));
    EXPECT_EQ(from.size(), 3u);
    EXPECT_TRUE(has(entries(d, IDC_RULE_TO), u"boss@work.example")) << "the CC line when there is no To";
    EXPECT_EQ(entries(d, IDC_RULE_SUBJECT).size(), 2u) << "\"Plan\" once, \"Dinner\"";
    auto folders = entries(d, IDC_RULE_MOVE_TO);
    EXPECT_TRUE(has(folders, u"Archive"));
    EXPECT_TRUE(has(folders, u"Projects")) << "top and Inbox names once";
    EXPECT_EQ(std::count(folders.begin(), folders.end(), u"projects"), 0);
    EXPECT_TRUE(has(folders, u"Lists"));
    EXPECT_TRUE(has(folders, u"2023")) << "the archive folder's subfolders";
    EXPECT_TRUE(has(folders, u"Family"));
    EXPECT_TRUE(has(folders, u">> DELETE <<"));
    for (const char16_t *special : {u"Deleted Items", u"Outbox", u"Sent Items"})
      EXPECT_EQ(std::count(folders.begin(), folders.end(), special), 0) << utf16ToUtf8(special);

    click(d, IDC_RULE_FROM_CHECK);
    SetDlgItemTextW(d, IDC_RULE_FROM, u"typed sender");
    SetDlgItemTextW(d, IDC_RULE_TO, u"typed to");
    SetDlgItemTextW(d, IDC_RULE_SUBJECT, u"typed subject");
    SetDlgItemTextW(d, IDC_RULE_MOVE_TO, u"typed folder");
    // The user chooses "Home".
    SendDlgItemMessageW(d, IDC_RULE_MAILBOX, CB_SETCURSEL, 2, 0);
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_RULE_MAILBOX, CBN_SELCHANGE), 0);
    EXPECT_EQ(entries(d, IDC_RULE_FROM), (std::vector<std::u16string>{u">> Known users <<", u"mum@home.example"}));
    EXPECT_EQ(entries(d, IDC_RULE_SUBJECT), (std::vector<std::u16string>{u"Dinner"}));
    EXPECT_FALSE(has(entries(d, IDC_RULE_MOVE_TO), u"Projects"));
    EXPECT_TRUE(has(entries(d, IDC_RULE_MOVE_TO), u"Family"));
    EXPECT_EQ(text(d, IDC_RULE_FROM), u"typed sender");
    EXPECT_EQ(text(d, IDC_RULE_TO), u"typed to");
    EXPECT_EQ(text(d, IDC_RULE_SUBJECT), u"typed subject");
    EXPECT_EQ(text(d, IDC_RULE_MOVE_TO), u"typed folder");
    command(d, IDOK);
  }});
  EXPECT_EQ(std::u16string(rule.mailbox), u"Home");
  EXPECT_EQ(std::u16string(rule.from), u"typed sender");
  EXPECT_EQ(std::u16string(rule.moveTo), u"typed folder");
}

TEST_F(RuleEditor, WithoutAStoreTableTheFixedEntriesAreThere)
{
  Rule rule = ruleOf({});
  edit(rule, {[](HWND d) {
    EXPECT_EQ(entries(d, IDC_RULE_MAILBOX), (std::vector<std::u16string>{u"<< Any Mailbox >>"}));
    EXPECT_EQ(entries(d, IDC_RULE_FROM), (std::vector<std::u16string>{u">> Known users <<"}));
    auto folders = entries(d, IDC_RULE_MOVE_TO);
    EXPECT_EQ(folders.size(), 2u);
    EXPECT_TRUE(has(folders, u"Archive"));
    EXPECT_TRUE(has(folders, u">> DELETE <<"));
    command(d, IDCANCEL);
  }});
}

TEST_F(RuleEditor, OnAShortScreenTheFocusedControlIsScrolledIntoView)
{
  testDisplaySetScreenSize(240, 10 * DISPLAY_CELL_HEIGHT);
  Rule rule = ruleOf({});
  edit(rule, {[](HWND d) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_POS;
    ASSERT_TRUE(GetScrollInfo(d, SB_VERT, &info));
    EXPECT_GT(info.nMax, 0) << "the form is taller than the dialog";
    RECT dialog{};
    GetWindowRect(d, &dialog);
    HWND last = GetDlgItem(d, IDC_RULE_MARK_AS_READ);
    SetFocus(last);
    RECT place{};
    GetWindowRect(last, &place);
    EXPECT_LE(place.bottom, dialog.bottom) << "\"Mark as read\" is in view";
    EXPECT_GE(place.top, dialog.top);

    HWND first = GetDlgItem(d, IDC_RULE_MAILBOX);
    SetFocus(first);
    GetWindowRect(first, &place);
    EXPECT_GE(place.top, dialog.top) << "back down to the mailbox box";
    info.fMask = SIF_POS;
    GetScrollInfo(d, SB_VERT, &info);
    EXPECT_EQ(info.nPos, 0);
    command(d, IDCANCEL);
  }});
}

// The rows of the form, top to bottom: the texts drawn on each row and the
// controls that stand on it.
struct FormRow {
  std::vector<std::string> texts;
  std::vector<int> controls;
};

const std::vector<FormRow> FORM_ROWS = {
    {{"<< Any Mailbox >>"}, {IDC_RULE_MAILBOX}},
    {{"From:"}, {IDC_RULE_FROM_CHECK, IDC_RULE_FROM}},
    {{"To:"}, {IDC_RULE_TO_CHECK, IDC_RULE_TO}},
    {{"Subject:"}, {IDC_RULE_SUBJECT_CHECK, IDC_RULE_SUBJECT}},
    {{"Size:", "Kb"}, {IDC_RULE_SIZE_CHECK, IDC_RULE_SIZE_SIGN, IDC_RULE_SIZE}},
    {{"Older:", "min"}, {IDC_RULE_OLDER_CHECK, IDC_RULE_OLDER}},
    {{"] Read", "Has attach"}, {IDC_RULE_READ, IDC_RULE_HAS_ATTACH}},
    {{"Move to:"}, {IDC_RULE_MOVE_TO}},
    {{"Play sound:"}, {IDC_RULE_SOUND, IDC_RULE_SOUND_PICK}},
    {{"Execute:"}, {IDC_RULE_EXECUTE, IDC_RULE_EXECUTE_PICK}},
    {{"Download the message"}, {IDC_RULE_DOWNLOAD}},
    {{"Mark as read"}, {IDC_RULE_MARK_AS_READ}},
};

// The screen shows the rows in view each on a line of its own, one after
// the other as the form has them, and the focused control's row among them.
void expectRowsApartWithTheFocusInView(const std::string &when)
{
  const std::vector<std::string> screen = testDisplayScreen();
  std::string shown;
  for (const std::string &line : screen)
    shown += line + "\n";
  const int focus = GetDlgCtrlID(GetFocus());
  int previousLine = -1;
  bool focusShown = false;
  // The line each text of the row is drawn on, -1 where it is not shown.
  auto lineOf = [&](const std::string &text) {
    for (int line = 1; line + 1 < static_cast<int>(screen.size()); ++line)
      if (screen[line].find(text) != std::string::npos)
        return line;
    return -1;
  };
  for (const FormRow &row : FORM_ROWS) {
    int at = -1;
    for (const std::string &text : row.texts)
      at = std::max(at, lineOf(text));
    if (at < 0)
      continue;
    for (const std::string &text : row.texts) {
      EXPECT_EQ(lineOf(text), at) << when << ": \"" << text << "\" off its row\n" << shown;
    }
    if (previousLine >= 0) {
      EXPECT_EQ(at, previousLine + 1) << when << ": \"" << row.texts[0] << "\" out of place\n" << shown;
    }
    previousLine = at;
    focusShown = focusShown || std::count(row.controls.begin(), row.controls.end(), focus) == 1;
  }
  EXPECT_TRUE(focusShown) << when << ": the focused control " << focus << " is not in view\n" << shown;
}

TEST_F(RuleEditor, OnAShortScreenTheRowsInViewStayApartWhereverTheFocusGoes)
{
  // Every condition set, so every box takes the focus in turn.
  Rule rule = ruleOf({.from = u"ann@example.org", .to = u"team@example.org", .subject = u"plans", .moveTo = u"Work",
                      .isRead = true, .olderThan = 5, .sizeLimit = -2048, .hasAttach = true});
  constexpr int TAB_STOPS = 21;
  // Terminals of 80 x 12 and shorter: the form has ten lines or fewer.
  for (int lines : {12, 9, 6}) {
    testDisplaySetScreenSize(240, lines * DISPLAY_CELL_HEIGHT);
    std::vector<DialogStep> steps;
    for (int i = 0; i <= 2 * TAB_STOPS; ++i)
      steps.push_back([i, lines](HWND d) {
        expectRowsApartWithTheFocusInView(std::to_string(lines) + " lines, after " + std::to_string(i) + " steps");
        if (i < 2 * TAB_STOPS)
          displayKey(VK_TAB, i >= TAB_STOPS); // round the form, then back again
        else
          command(d, IDCANCEL);
      });
    EXPECT_EQ(edit(rule, std::move(steps)), 0);
  }
}

TEST_F(RuleEditor, PickersTakeThePathAndPlayTheSoundOnce)
{
  const std::string sound = (root / "ring.wav").string();
  { std::FILE *f = std::fopen(sound.c_str(), "wb"); ASSERT_TRUE(f); std::fclose(f); }
  Rule rule = ruleOf({});
  edit(rule, {[](HWND d) { command(d, IDC_RULE_SOUND_PICK); },
              [&](HWND picker) {
                EXPECT_NE(screenText().find("Open sound"), std::string::npos);
                SetDlgItemTextW(picker, 102, utf8ToUtf16(sound).c_str());
                command(picker, IDOK);
              },
              [](HWND d) { command(d, IDOK); }});
  EXPECT_EQ(utf16ToUtf8(rule.playSound), sound.substr(0, 127));
  auto calls = shellTakeRecorded();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].path, sound);
  EXPECT_EQ(calls[0].flags, SND_FILENAME | SND_ASYNC);
}

} // namespace
