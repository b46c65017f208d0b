#include "ui/rules_list_dialog.h"

#include "app/program_state.h"
#include "app/rule_editor_call.h"
#include "engine/mapi_refs.h"
#include "engine/session.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"
#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/menu.h"
#include "rules/rule_list.h"
#include "rules/rule_list_view.h"
#include "services/resources.h"
#include "ui/layout.h"
#include "ui/resources/resource_ids.h"
#include "ui/rule_editor.h"
#include "ui/settings_dialog.h"

namespace {

const WCHAR *anyMailboxText = nullptr; // string 40018, "<< Any Mailbox >>"

void requestPass()
{
  PostMessageW(mainWindow, WM_TIMER, 0, 0);
}

HWND rulesView(HWND dialog)
{
  return GetDlgItem(dialog, IDC_RULES);
}

// The mailbox box: "<< Any Mailbox >>" and each store's name once.
void fillMailboxes(HWND dialog)
{
  SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(loadString(IDS_ANY_MAILBOX, &anyMailboxText)));
  if (!session)
    return;
  ComRef<IMAPITable> table;
  if (session->GetMsgStoresTable(MAPI_UNICODE, table.put()) != S_OK || !table)
    return;
  SizedSPropTagArray(1, columns) = {1, {PR_DISPLAY_NAME}};
  if (table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0) != S_OK)
    return;
  for (;;) {
    RowSetHold rows;
    if (table->QueryRows(1, 0, rows.put()) != S_OK || !rows.get() || rows->cRows != 1)
      return;
    const SRow &row = rows->aRow[0];
    if (row.cValues < 1 || row.lpProps[0].ulPropTag != PR_DISPLAY_NAME || !row.lpProps[0].Value.lpszW)
      continue;
    LPCWSTR name = row.lpProps[0].Value.lpszW;
    if (SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(name)) == CB_ERR)
      SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
}

void initialise(HWND dialog)
{
  rulesListDialog = dialog;
  listUpdating = true;
  showFullScreenDialog(dialog, IDR_RULES_LIST_MENU);

  HWND view = rulesView(dialog);
  SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  SendMessageW(view, LVM_DELETECOLUMN, 0, 0);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
  column.fmt = LVCFMT_LEFT;
  column.pszText = const_cast<LPWSTR>(u"Rule");
  column.cx = windowWidth(view) - 16;
  SendMessageW(view, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

  mailboxFilter[0] = 0;
  fillRuleListView(view);
  fillMailboxes(dialog);
  SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_SETCURSEL, 0, 0);
  listUpdating = false;
  // The dialog's default processing gives the focus to its first tab stop,
  // the mailbox box; the screen is there for the rules, so they get it
  // once the dialog is shown.
  PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(view), TRUE);
}

void layout(HWND dialog)
{
  const int width = windowWidth(dialog);
  const int height = windowHeight(dialog);
  const int logo = controlWidth(dialog, IDC_LOGO);
  placeControl(dialog, IDC_LOGO, width - logo - 2, 1, 0, 0);
  placeControl(dialog, IDC_MAILBOX, 0, 0, width - logo - 2, 0);
  const int box = controlHeight(dialog, IDC_MAILBOX);
  placeControl(dialog, IDC_RULES, 0, box, width, height - box);
}

void mailboxChanged(HWND dialog)
{
  auto index = SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_GETCURSEL, 0, 0);
  mailboxFilter[0] = 0;
  if (index > 0) {
    WCHAR name[RULE_TEXT_CHARS];
    auto length = SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length >= 0 && length < static_cast<LRESULT>(RULE_TEXT_CHARS) &&
        SendDlgItemMessageW(dialog, IDC_MAILBOX, CB_GETLBTEXT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(name)) != CB_ERR)
      wstrCopy(mailboxFilter, RULE_TEXT_CHARS, name);
  }
  fillRuleListView(rulesView(dialog));
}

// A check box was ticked or cleared by the user. Only a change of the state
// image counts: a selection change reports the item's whole state too, and
// must not touch the rule.
void itemChanged(const NMLISTVIEW *change)
{
  if (listUpdating || change->iItem < 0 || !(change->uChanged & LVIF_STATE) ||
      !(change->uNewState & 0x3000) ||
      ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) == 0)
    return;
  HWND view = change->hdr.hwndFrom;
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = change->iItem;
  if (!SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) || !item.lParam)
    return;
  auto *rule = reinterpret_cast<Rule *>(item.lParam);
  auto state = static_cast<UINT>(SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(change->iItem), LVIS_STATEIMAGEMASK));
  rule->enabled = (state >> 12) == 2 ? 1 : 0;
  rulesDirty = 1;
  if (rule->enabled)
    requestPass();
}

// The rule of the line at the selection mark, or null.
Rule *markedRule(HWND dialog)
{
  HWND view = rulesView(dialog);
  auto mark = static_cast<int>(SendMessageW(view, LVM_GETSELECTIONMARK, 0, 0));
  if (mark < 0)
    return nullptr;
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = mark;
  if (!SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
    return nullptr;
  return reinterpret_cast<Rule *>(item.lParam);
}

void newRule(HWND dialog)
{
  Rule *rule = ::newRule();
  if (!rule)
    return;
  rule->enabled = 1;
  wstrCopy(rule->mailbox, RULE_TEXT_CHARS, mailboxFilter);
  editedRule = rule;
  if (runRuleEditor(dialog) != 1) {
    freeRule(rule);
    return;
  }
  appendRule(rule);
  fillRuleListView(rulesView(dialog));
  rulesDirty = 1;
  requestPass();
}

void editRule(HWND dialog)
{
  Rule *rule = markedRule(dialog);
  if (!rule)
    return;
  if (editListedRule(dialog, rule) != 1)
    return;
  fillRuleListView(rulesView(dialog));
  rulesDirty = 1;
  if (rule->enabled)
    requestPass();
}

void deleteRule(HWND dialog)
{
  Rule *rule = markedRule(dialog);
  if (!rule)
    return;
  (void)removeRule(rule); // a record no longer in the list is left alone
  fillRuleListView(rulesView(dialog));
  rulesDirty = 1;
}

void contextMenu(HWND dialog, LPARAM at)
{
  HMENU menu = LoadMenuW(resourceModule, MAKEINTRESOURCEW(IDR_RULES_LIST_MENU));
  if (!menu)
    return;
  TrackPopupMenuEx(GetSubMenu(menu, 1), TPM_LEFTALIGN | TPM_TOPALIGN, GET_X_LPARAM(at), GET_Y_LPARAM(at),
                   dialog, nullptr);
  DestroyMenu(menu);
}

// Returns TRUE for a command it carried out.
INT_PTR command(HWND dialog, WPARAM wParam)
{
  switch (LOWORD(wParam)) {
  case IDOK:
  case IDM_HIDE:
    EndDialog(dialog, 1);
    return TRUE;
  case IDC_LOGO:
  case IDM_ABOUT:
    (void)openSettingsDialog(dialog); // its result means nothing here
    return TRUE;
  case IDC_MAILBOX:
    if (HIWORD(wParam) == CBN_SELCHANGE)
      mailboxChanged(dialog);
    return TRUE;
  case IDM_NEW:
    newRule(dialog);
    return TRUE;
  case IDM_EXIT:
    EndDialog(dialog, 0);
    return TRUE;
  case IDM_EDIT:
    editRule(dialog);
    return TRUE;
  case IDM_DELETE:
    deleteRule(dialog);
    return TRUE;
  default:
    return FALSE;
  }
}

// The dialog procedure. Returning FALSE hands a message to the dialog
// manager's default processing; the size, notification, context-menu and
// initialisation messages are handed on after their handling too.
INT_PTR rulesListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case WM_INITDIALOG:
    initialise(dialog);
    return FALSE; // the focus stays where initialisation put it
  case WM_SIZE:
    layout(dialog);
    return FALSE;
  case WM_NOTIFY: {
    const auto *hdr = reinterpret_cast<const NMHDR *>(lParam);
    if (hdr->idFrom != IDC_RULES || listUpdating)
      return FALSE;
    if (hdr->code == LVN_ITEMCHANGED)
      itemChanged(reinterpret_cast<const NMLISTVIEW *>(lParam));
    else if (hdr->code == NM_DBLCLK)
      PostMessageW(dialog, WM_COMMAND, IDM_EDIT, 0);
    return FALSE;
  }
  case WM_CONTEXTMENU:
    contextMenu(dialog, lParam);
    return FALSE;
  case WM_CLOSE:
    EndDialog(dialog, 1);
    return TRUE;
  case WM_COMMAND:
    return command(dialog, wParam);
  default:
    return FALSE;
  }
}

} // namespace

INT_PTR openRulesList()
{
  return DialogBoxParamW(resourceModule, MAKEINTRESOURCEW(IDD_RULES_LIST), nullptr, rulesListProc, 0);
}
