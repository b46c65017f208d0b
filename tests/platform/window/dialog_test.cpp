// Dialogs, controls and menus on the test display: templates become windows
// at their pixel places, the modal loop serves the thread's other windows
// and the quit request, and the controls answer their messages and report
// what the user does with their notifications.
#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/display.h"
#include "platform/window/menu.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr WORD ID_NAME = 10, ID_CHECK = 11, ID_COMBO = 12, ID_LIST = 13, ID_BUTTON = 14, ID_EDITABLE = 15;

const DialogItemTemplate ITEMS[] = {
    {WC_EDITW, nullptr, ID_NAME, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0, 0, 0, 60, 12},
    {WC_BUTTONW, u"Tick", ID_CHECK, WS_TABSTOP | BS_AUTOCHECKBOX | BS_NOTIFY, 0, 0, 13, 60, 10},
    {WC_COMBOBOXW, nullptr, ID_COMBO, WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 26, 60, 60},
    {WC_LISTVIEWW, nullptr, ID_LIST, WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, 0, 0, 40, 136, 50},
    {WC_BUTTONW, u"Go", ID_BUTTON, WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 91, 40, 12},
    {WC_COMBOBOXW, nullptr, ID_EDITABLE, WS_TABSTOP | CBS_DROPDOWN, 0, 60, 91, 60, 60},
    {WC_STATICW, u"Label", 0xFFFF, SS_LEFT, 0, 0, 105, 40, 8},
};
const DialogTemplate FORM{1, WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 0, 136, 120, nullptr, u"Form", u"System", 8,
                          ITEMS, std::size(ITEMS)};

struct Event {
  UINT message; // WM_COMMAND or WM_NOTIFY
  int id;       // the control
  int code;     // notification code
  int item;     // list view item, or -1
  UINT oldState, newState;
  bool operator==(const Event &) const = default;
};
std::vector<Event> events; // what the form's procedure saw

INT_PTR formProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_COMMAND && lParam)
    events.push_back({WM_COMMAND, LOWORD(wParam), HIWORD(wParam), -1, 0, 0});
  if (message == WM_NOTIFY) {
    const auto *hdr = reinterpret_cast<const NMHDR *>(lParam);
    if (hdr->code == LVN_ITEMCHANGED) {
      const auto *nm = reinterpret_cast<const NMLISTVIEW *>(lParam);
      events.push_back({WM_NOTIFY, static_cast<int>(hdr->idFrom), static_cast<int>(hdr->code), nm->iItem,
                        nm->uOldState, nm->uNewState});
    } else if (hdr->code == NM_DBLCLK) {
      events.push_back({WM_NOTIFY, static_cast<int>(hdr->idFrom), static_cast<int>(hdr->code),
                        reinterpret_cast<const NMITEMACTIVATE *>(lParam)->iItem, 0, 0});
    }
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK && !lParam) {
    EndDialog(GetActiveWindow(), 7);
    return TRUE;
  }
  return FALSE;
}

class Dialogs : public ::testing::Test {
protected:
  void SetUp() override
  {
    setDisplay(testDisplay());
    testDisplaySetScreenSize(240, 320);
    events.clear();
  }
  void TearDown() override
  {
    if (dialog)
      DestroyWindow(dialog);
    EXPECT_EQ(testDisplayUnscripted(), 0);
    setDisplay(headlessDisplay());
  }

  // Runs the posted messages of the thread (keys, commands) through the
  // dialog manager as the modal loop does.
  void pump()
  {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageW(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
  void press(WPARAM vk, bool shift = false)
  {
    displayKey(vk, shift);
    pump();
  }
  void type(const std::u16string &text)
  {
    for (char16_t c : text)
      displayChar(c);
    pump();
  }
  HWND item(int id) const { return GetDlgItem(dialog, id); }

  HWND dialog = CreateDialogIndirectParamW(nullptr, &FORM, nullptr, formProc, 0);
};

TEST_F(Dialogs, TemplateUnitsBecomePixelsInTheFrame)
{
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetDialogBaseUnits(), 8 << 16 | 7);
  RECT d, list, client;
  GetWindowRect(dialog, &d);
  GetWindowRect(item(ID_LIST), &list);
  GetClientRect(dialog, &client);
  EXPECT_EQ(d.right - d.left, 136 * 7 / 4);
  EXPECT_EQ(d.bottom - d.top, 120);
  EXPECT_EQ(list.left - d.left, 1) << "one-pixel frame";
  EXPECT_EQ(list.top - d.top, 40 + 1);
  EXPECT_EQ(list.right - list.left, 238);
  EXPECT_EQ(client.right, 238 - 2);
  RECT units{0, 40, 136, 90};
  MapDialogRect(dialog, &units);
  EXPECT_EQ(units.right, 238);
  EXPECT_EQ(units.bottom, 90);
  RECT combo;
  GetWindowRect(item(ID_COMBO), &combo);
  EXPECT_EQ(combo.bottom - combo.top, DISPLAY_CELL_HEIGHT) << "a closed combo box is one line high";
}

TEST_F(Dialogs, TabAndArrowsMoveTheFocusThroughTabStops)
{
  SetFocus(item(ID_NAME));
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), item(ID_CHECK));
  press(VK_DOWN);
  EXPECT_EQ(GetFocus(), item(ID_COMBO));
  press(VK_TAB, true);
  EXPECT_EQ(GetFocus(), item(ID_CHECK));
  EnableWindow(item(ID_COMBO), FALSE);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), item(ID_LIST)) << "a disabled control is skipped";
  SetFocus(item(ID_EDITABLE));
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), item(ID_NAME)) << "wraps round";
  std::vector<Event> check;
  for (const Event &e : events)
    if (e.id == ID_CHECK)
      check.push_back(e);
  EXPECT_EQ(check, (std::vector<Event>{{WM_COMMAND, ID_CHECK, BN_SETFOCUS, -1, 0, 0},
                                       {WM_COMMAND, ID_CHECK, BN_KILLFOCUS, -1, 0, 0},
                                       {WM_COMMAND, ID_CHECK, BN_SETFOCUS, -1, 0, 0},
                                       {WM_COMMAND, ID_CHECK, BN_KILLFOCUS, -1, 0, 0}}));
  EXPECT_EQ(events.front(), (Event{WM_COMMAND, ID_NAME, EN_KILLFOCUS, -1, 0, 0}))
      << "the shown dialog gave its first control the focus already";
}

TEST_F(Dialogs, EditAndCheckBoxFromTheKeyboard)
{
  SetFocus(item(ID_NAME));
  events.clear();
  type(u"abc");
  press(VK_LEFT);
  press(VK_BACK);
  type(u"X");
  WCHAR text[32];
  GetDlgItemTextW(dialog, ID_NAME, text, 32);
  EXPECT_EQ(std::u16string(text), u"aXc");
  EXPECT_EQ(events.size(), 5u) << "EN_CHANGE for each change";

  SetFocus(item(ID_CHECK));
  events.clear();
  press(VK_SPACE);
  EXPECT_EQ(IsDlgButtonChecked(dialog, ID_CHECK), BST_CHECKED);
  EXPECT_EQ(events, (std::vector<Event>{{WM_COMMAND, ID_CHECK, BN_CLICKED, -1, 0, 0}}));
  CheckDlgButton(dialog, ID_CHECK, BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, ID_CHECK), BST_UNCHECKED);
  EXPECT_EQ(events.size(), 1u) << "setting the check reports nothing";
}

TEST_F(Dialogs, AFieldTheDialogGivesTheFocusIsSelectedWholeSoTypingReplacesIt)
{
  HWND name = item(ID_NAME);
  auto text = [&](HWND h) {
    WCHAR b[32];
    GetWindowTextW(h, b, 32);
    return std::u16string(b);
  };
  auto selection = [&] {
    DWORD start = 9, end = 9;
    LRESULT both = SendMessageW(name, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(both, static_cast<LRESULT>(end << 16 | start));
    return std::pair<DWORD, DWORD>(start, end);
  };
  SetWindowTextW(name, u"old name");
  SetFocus(item(ID_EDITABLE));
  press(VK_TAB); // wraps round to the name
  ASSERT_EQ(GetFocus(), name);
  EXPECT_EQ(selection(), (std::pair<DWORD, DWORD>(0, 8)));
  type(u"new");
  EXPECT_EQ(text(name), u"new");
  EXPECT_EQ(selection(), (std::pair<DWORD, DWORD>(3, 3)));

  // Backspace and Delete take the selection; a caret key ends it.
  SetFocus(item(ID_BUTTON));
  SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(name), TRUE);
  EXPECT_EQ(selection(), (std::pair<DWORD, DWORD>(0, 3)));
  press(VK_BACK);
  EXPECT_EQ(text(name), u"");
  type(u"abcd");
  SendMessageW(name, EM_SETSEL, 1, 3);
  press(VK_DELETE);
  EXPECT_EQ(text(name), u"ad");
  SendMessageW(name, EM_SETSEL, 0, -1);
  press(VK_LEFT);
  type(u"X");
  EXPECT_EQ(text(name), u"aXd") << "Left from the caret at the end, the selection gone";
  SendMessageW(name, EM_SETSEL, static_cast<WPARAM>(-1), 0);
  EXPECT_EQ(selection(), (std::pair<DWORD, DWORD>(2, 2))) << "a start of -1 only takes the selection away";

  // A tap puts the caret there and selects nothing.
  SetFocus(item(ID_CHECK));
  SendMessageW(name, WM_LBUTTONDOWN, 0, 0);
  ASSERT_EQ(GetFocus(), name);
  EXPECT_EQ(selection().first, selection().second);

  // An editable combo box's field likewise.
  HWND editable = item(ID_EDITABLE);
  SetWindowTextW(editable, u"10");
  SetFocus(item(ID_BUTTON));
  press(VK_TAB);
  ASSERT_EQ(GetFocus(), editable);
  type(u"25");
  EXPECT_EQ(text(editable), u"25");
}

TEST_F(Dialogs, TypedSpacesKeepTheirPlaceAmongQueuedCharacters)
{
  // A terminal hands over everything typed at once (a paste, a quick
  // typist): the space's key and the letters after it are all queued before
  // the first is handled.
  SetFocus(item(ID_NAME));
  displayChar(u'a');
  displayKey(VK_SPACE, false);
  displayChar(u'b');
  displayKey(VK_SPACE, false);
  displayKey(VK_SPACE, false);
  displayChar(u'c');
  pump();
  WCHAR text[32];
  GetDlgItemTextW(dialog, ID_NAME, text, 32);
  EXPECT_EQ(std::u16string(text), u"a b  c");
}

TEST_F(Dialogs, ComboBoxSearchesAndChoices)
{
  HWND combo = item(ID_COMBO);
  for (const char16_t *s : {u"pear", u"Apple", u"apricot", u"Plum"})
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  auto text = [&](int i) {
    WCHAR b[32];
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(b));
    return std::u16string(b);
  };
  EXPECT_EQ(text(0), u"Apple") << "sorted ignoring case";
  EXPECT_EQ(text(3), u"Plum");
  EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"PEAR")), 2);
  EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, 2, reinterpret_cast<LPARAM>(u"apple")), 0)
      << "the exact search covers every entry, wrapping round";
  EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"app")), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_SELECTSTRING, 1, reinterpret_cast<LPARAM>(u"AP")), 0)
      << "a prefix search from index 2 wraps round to 0";
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(events.empty()) << "a choice made by message reports nothing";

  SetFocus(combo);
  events.clear();
  press(VK_RETURN);
  EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
  press(VK_DOWN);
  press(VK_DOWN);
  press(VK_RETURN);
  EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(events, (std::vector<Event>{{WM_COMMAND, ID_COMBO, CBN_DROPDOWN, -1, 0, 0},
                                        {WM_COMMAND, ID_COMBO, CBN_CLOSEUP, -1, 0, 0},
                                        {WM_COMMAND, ID_COMBO, CBN_SELCHANGE, -1, 0, 0}}));
  events.clear();
  press(VK_RETURN);
  press(VK_ESCAPE);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2) << "Escape keeps the choice";
  EXPECT_TRUE(IsWindow(dialog)) << "Escape closed the list, not the dialog";
  type(u"p");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 3) << "a letter chooses the next entry with it";

  HWND editable = item(ID_EDITABLE);
  SendMessageW(editable, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"10"));
  SetWindowTextW(editable, u"typed");
  WCHAR b[32];
  GetWindowTextW(editable, b, 32);
  EXPECT_EQ(std::u16string(b), u"typed");
  SendMessageW(editable, CB_SETCURSEL, 0, 0);
  GetWindowTextW(editable, b, 32);
  EXPECT_EQ(std::u16string(b), u"10") << "choosing an entry fills the field";
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(Dialogs, ListViewStatesMarkAndNotifications)
{
  HWND list = item(ID_LIST);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  for (int i = 0; i < 3; ++i) {
    std::u16string text = u"line " + std::u16string(1, static_cast<char16_t>(u'0' + i));
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = 99; // past the end: appended
    it.pszText = text.data();
    it.lParam = 100 + i;
    EXPECT_EQ(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)), i);
  }
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 1, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1))
      << "with check boxes a new line starts unticked";
  EXPECT_TRUE(events.empty()) << "inserting reports nothing";

  LVITEMW tick{};
  tick.stateMask = LVIS_STATEIMAGEMASK;
  tick.state = INDEXTOSTATEIMAGEMASK(2);
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&tick));
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&tick));
  EXPECT_EQ(events, (std::vector<Event>{{WM_NOTIFY, ID_LIST, static_cast<int>(LVN_ITEMCHANGED), 1, 0x1000, 0x2000}}))
      << "a change is reported once, with the whole old and new state";

  SetFocus(list);
  events.clear();
  press(VK_DOWN);
  press(VK_DOWN);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), 1);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1)
      << "single selection: the first line gave it up";
  events.clear();
  press(VK_SPACE);
  press(VK_RETURN);
  EXPECT_EQ(events, (std::vector<Event>{{WM_NOTIFY, ID_LIST, static_cast<int>(LVN_ITEMCHANGED), 1, 0x2003, 0x1003},
                                        {WM_NOTIFY, ID_LIST, static_cast<int>(NM_DBLCLK), 1, 0, 0}}));

  LVITEMW read{};
  read.mask = LVIF_PARAM;
  read.iItem = 2;
  ASSERT_TRUE(SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read)));
  EXPECT_EQ(read.lParam, 102);
  read.iItem = 3;
  EXPECT_FALSE(SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read)));

  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), -1);
}

TEST_F(Dialogs, ScreenShowsTheFormItsControlsAndFocus)
{
  SHINITDLGINFO info{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
  ASSERT_TRUE(SHInitDialog(&info));
  SetDlgItemTextW(dialog, ID_NAME, u"hello");
  CheckDlgButton(dialog, ID_CHECK, BST_CHECKED);
  std::vector<std::string> screen = testDisplayScreen();
  ASSERT_EQ(screen.size(), 24u);
  EXPECT_EQ(screen[0].substr(0, 6), " Form ");
  EXPECT_EQ(screen[0].substr(screen[0].size() - 4), " ok ");
  EXPECT_EQ(screen[1].substr(0, 5), "hello");
  EXPECT_EQ(screen[2].substr(0, 8), "[x] Tick");
  EXPECT_NE(screen[8].find("[Go]"), std::string::npos) << screen[8];
  EXPECT_EQ(screen[9].substr(0, 5), "Label");
}

TEST_F(Dialogs, ModalLoopServesTheThreadAndEndsOnQuit)
{
  DestroyWindow(dialog);
  dialog = nullptr;
  static int served;
  served = 0;
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_USER)
      ++served;
    return DefWindowProcW(h, m, w, l);
  };
  wc.lpszClassName = u"Served";
  RegisterClassW(&wc);
  HWND other = CreateWindowExW(0, u"Served", nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  PostMessageW(other, WM_USER, 0, 0);
  testDisplayScript({[&](HWND d) {
                       EXPECT_EQ(served, 1) << "the other window's message was handled in the dialog's loop";
                       PostMessageW(d, WM_COMMAND, IDOK, 0);
                     }});
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &FORM, nullptr, formProc, 0), 7);

  testDisplayScript({[&](HWND) { PostQuitMessage(3); }});
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &FORM, nullptr, formProc, 0), 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT) << "the quit request is made again for the outer loop";
  EXPECT_EQ(msg.wParam, 3u);
  DestroyWindow(other);
  UnregisterClassW(u"Served", nullptr);

  setDisplay(headlessDisplay());
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &FORM, nullptr, formProc, 0), -1);
}

TEST_F(Dialogs, MenusByPositionCommandAndPopup)
{
  HMENU popup = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(popup, MF_STRING, 201, u"First"));
  ASSERT_TRUE(AppendMenuW(popup, MF_STRING, 203, u"Third"));
  ASSERT_TRUE(InsertMenuW(popup, 1, MF_BYPOSITION | MF_STRING, 202, u"Second"));
  ASSERT_TRUE(AppendMenuW(popup, MF_SEPARATOR, 0, nullptr));
  HMENU bar = CreateMenu();
  ASSERT_TRUE(InsertMenuW(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"Sorrelby"));
  EXPECT_EQ(GetMenuItemCount(popup), 4);
  EXPECT_EQ(GetMenuItemID(popup, 1), 202u);

  WCHAR text[16];
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_TYPE | MIIM_SUBMENU;
  info.dwTypeData = text;
  info.cch = 16;
  ASSERT_TRUE(GetMenuItemInfoW(bar, 0, TRUE, &info));
  EXPECT_EQ(std::u16string(text), u"Sorrelby");
  EXPECT_EQ(info.hSubMenu, popup);

  EXPECT_EQ(EnableMenuItem(bar, 202, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED) << "found inside the popup";
  info.fMask = MIIM_STATE;
  ASSERT_TRUE(GetMenuItemInfoW(popup, 202, FALSE, &info));
  EXPECT_EQ(info.fState, MFS_GRAYED);
  EXPECT_EQ(EnableMenuItem(bar, 999, MF_BYCOMMAND), -1);

  // Down skips the greyed item; the choice is posted as a command.
  testDisplayScript({[&](HWND) { displayKey(VK_DOWN, false); }, [&](HWND) { displayKey(VK_RETURN, false); }});
  EXPECT_TRUE(TrackPopupMenuEx(popup, TPM_LEFTALIGN, 10, 20, dialog, nullptr));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, dialog, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 203u);
  testDisplayScript({[&](HWND) { displayKey(VK_ESCAPE, false); }});
  EXPECT_EQ(TrackPopupMenuEx(popup, TPM_RETURNCMD, 10, 20, dialog, nullptr), 0) << "closed without a choice";

  ASSERT_TRUE(DeleteMenu(bar, 0, MF_BYPOSITION));
  EXPECT_FALSE(IsMenu(popup)) << "deleting a popup item destroys the popup";
  EXPECT_TRUE(DestroyMenu(bar));
  EXPECT_FALSE(DestroyMenu(bar));
}

} // namespace

namespace {

std::vector<std::pair<HMENU, LPARAM>> initialised; // WM_INITMENUPOPUP as the owner got them

// Fills an empty popup when it opens, as the Inbox fills its softkey menu.
LRESULT fillingOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_INITMENUPOPUP) {
    auto popup = reinterpret_cast<HMENU>(wParam);
    initialised.emplace_back(popup, lParam);
    if (GetMenuItemCount(popup) == 0)
      AppendMenuW(popup, MF_STRING, 301, u"Filled");
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

TEST_F(Dialogs, EachPopupIsToldToItsOwnerBeforeItShows)
{
  WNDCLASSW wc{};
  wc.lpfnWndProc = fillingOwnerProc;
  wc.lpszClassName = u"Filling owner";
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND owner = CreateWindowExW(0, wc.lpszClassName, u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  HMENU more = CreatePopupMenu(); // empty until it opens
  HMENU outer = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(outer, MF_STRING, 300, u"Fixed"));
  ASSERT_TRUE(AppendMenuW(outer, MF_POPUP, reinterpret_cast<UINT_PTR>(more), u"More"));
  initialised.clear();

  testDisplayScript({[](HWND) { displayKey(VK_DOWN, false); }, [](HWND) { displayKey(VK_RETURN, false); },
                     [](HWND) { displayKey(VK_RETURN, false); }});
  EXPECT_EQ(TrackPopupMenuEx(outer, TPM_RETURNCMD, 10, 20, owner, nullptr), 301) << "the item filled in was shown";
  ASSERT_EQ(initialised.size(), 2u);
  EXPECT_EQ(initialised[0], std::make_pair(outer, LPARAM{0}));
  EXPECT_EQ(initialised[1], std::make_pair(more, LPARAM{1})) << "the popup and its place in the outer menu";

  // Escape in the submenu goes back to the menu, on the submenu's item; Left
  // too, and Right opens it again. Escape in the menu closes it.
  testDisplayScript({[](HWND) { displayKey(VK_DOWN, false); }, [](HWND) { displayKey(VK_RETURN, false); },
                     [](HWND) { displayKey(VK_ESCAPE, false); }, [](HWND) { displayKey(VK_UP, false); },
                     [](HWND) { displayKey(VK_RETURN, false); }});
  EXPECT_EQ(TrackPopupMenuEx(outer, TPM_RETURNCMD, 10, 20, owner, nullptr), 300);
  testDisplayScript({[](HWND) { displayKey(VK_DOWN, false); }, [](HWND) { displayKey(VK_RIGHT, false); },
                     [](HWND) { displayKey(VK_LEFT, false); }, [](HWND) { displayKey(VK_RIGHT, false); },
                     [](HWND) { displayKey(VK_RETURN, false); }});
  EXPECT_EQ(TrackPopupMenuEx(outer, TPM_RETURNCMD, 10, 20, owner, nullptr), 301);
  testDisplayScript({[](HWND) { displayKey(VK_DOWN, false); }, [](HWND) { displayKey(VK_RETURN, false); },
                     [](HWND) { displayKey(VK_ESCAPE, false); }, [](HWND) { displayKey(VK_ESCAPE, false); }});
  EXPECT_EQ(TrackPopupMenuEx(outer, TPM_RETURNCMD, 10, 20, owner, nullptr), 0);

  EXPECT_TRUE(DestroyMenu(outer));
  DestroyWindow(owner);
  UnregisterClassW(wc.lpszClassName, nullptr);
}
