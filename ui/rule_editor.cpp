#include "ui/rule_editor.h"

#include "app/rule_editor_call.h"
#include "engine/mapi_refs.h"
#include "engine/session.h"
#include "platform/mapi/mapitags.h"
#include "platform/shell/commdlg.h"
#include "platform/shell/shell.h"
#include "platform/text/wstr.h"
#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "rules/rule_list.h"
#include "services/resources.h"
#include "services/settings.h"
#include "services/string_ids.h"
#include "ui/layout.h"
#include "ui/resources/resource_ids.h"
#include "ui/rule_editor_view.h"
#include "ui/rule_suggestions.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <limits>
#include <string>

namespace {

const WCHAR *anyMailboxText = nullptr; // string 40018, "<< Any Mailbox >>"
const WCHAR *deleteText = nullptr;     // string 40020, ">> DELETE <<"
const WCHAR *knownUsersText = nullptr; // string 40021, ">> Known users <<"

constexpr std::size_t PICKED_PATH_CHARS = 260; // the file pickers' name buffer

// One open editor: the rule it was opened with, which only its own OK
// writes, and its view of the form. A second editor opened above it has a
// record of its own, so neither reaches the other's rule.
struct RuleEditor {
  Rule *rule;
  EditorView view;
};

RuleEditor *editorOf(HWND dialog)
{
  return reinterpret_cast<RuleEditor *>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

// A check box and the controls it enables.
struct CheckPair {
  int check;
  int first;
  int second; // 0 when there is only one
};
constexpr CheckPair CHECK_PAIRS[] = {
    {IDC_RULE_FROM_CHECK, IDC_RULE_FROM, 0},
    {IDC_RULE_TO_CHECK, IDC_RULE_TO, 0},
    {IDC_RULE_SUBJECT_CHECK, IDC_RULE_SUBJECT, 0},
    {IDC_RULE_BODY_CHECK, IDC_RULE_BODY, 0},
    {IDC_RULE_SIZE_CHECK, IDC_RULE_SIZE_SIGN, IDC_RULE_SIZE},
    {IDC_RULE_OLDER_CHECK, IDC_RULE_OLDER, 0},
};

bool same(const WCHAR *a, const WCHAR *b)
{
  return wstrCmp(a, b) == 0;
}

bool ticked(HWND dialog, int id)
{
  return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Ticks or clears a check box and sends the dialog its click, as the user's
// tap would, so that its boxes follow.
void tick(HWND dialog, int id, bool on)
{
  SendDlgItemMessageW(dialog, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void enablePaired(HWND dialog, int check)
{
  for (const CheckPair &pair : CHECK_PAIRS) {
    if (pair.check != check)
      continue;
    const BOOL on = ticked(dialog, check) ? TRUE : FALSE;
    EnableWindow(GetDlgItem(dialog, pair.first), on);
    if (pair.second)
      EnableWindow(GetDlgItem(dialog, pair.second), on);
  }
}

void addEntries(HWND dialog, int id, std::initializer_list<const WCHAR *> entries)
{
  for (const WCHAR *entry : entries)
    SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
}

void setText(HWND dialog, int id, const WCHAR *text)
{
  SetDlgItemTextW(dialog, id, text);
}

// The mailbox box: "<< Any Mailbox >>", then every store's name as the
// store table lists it (a name two stores share is there twice).
void fillMailboxes(HWND dialog)
{
  SendDlgItemMessageW(dialog, IDC_RULE_MAILBOX, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageW(dialog, IDC_RULE_MAILBOX, CB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(loadString(IDS_ANY_MAILBOX, &anyMailboxText)));
  if (!session)
    return;
  try {
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
      if (row.cValues >= 1 && row.lpProps[0].ulPropTag == PR_DISPLAY_NAME && row.lpProps[0].Value.lpszW)
        SendDlgItemMessageW(dialog, IDC_RULE_MAILBOX, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(row.lpProps[0].Value.lpszW));
    }
  } catch (...) {
    // A store table that raised offers the stores read so far.
  }
}

void chooseMailbox(HWND dialog, const WCHAR *mailbox)
{
  if (!mailbox[0]) {
    SendDlgItemMessageW(dialog, IDC_RULE_MAILBOX, CB_SETCURSEL, 0, 0);
    return;
  }
  // The box's prefix selection from index 2 on, wrapping round to 0 and 1.
  if (SendDlgItemMessageW(dialog, IDC_RULE_MAILBOX, CB_SELECTSTRING, 1, reinterpret_cast<LPARAM>(mailbox)) == CB_ERR)
    SendDlgItemMessageW(dialog, IDC_RULE_MAILBOX, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

// The kilobytes shown for a size limit: its magnitude / 1024, truncated.
std::u16string kilobytesText(LONG sizeLimit)
{
  const std::int64_t magnitude = sizeLimit < 0 ? -static_cast<std::int64_t>(sizeLimit) : sizeLimit;
  return utf8ToUtf16(std::to_string(magnitude / 1024));
}

void showRule(HWND dialog, const Rule &rule)
{
  fillMailboxes(dialog);
  chooseMailbox(dialog, rule.mailbox);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_RULE_MAILBOX, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_RULE_MAILBOX)));

  tick(dialog, IDC_RULE_FROM_CHECK, rule.from[0] != 0);
  setText(dialog, IDC_RULE_FROM, same(rule.from, KNOWN_USERS_MARKER) ? loadString(IDS_KNOWN_USERS, &knownUsersText) : rule.from);
  tick(dialog, IDC_RULE_TO_CHECK, rule.to[0] != 0);
  setText(dialog, IDC_RULE_TO, rule.to);
  tick(dialog, IDC_RULE_SUBJECT_CHECK, rule.subject[0] != 0);
  setText(dialog, IDC_RULE_SUBJECT, rule.subject);

  tick(dialog, IDC_RULE_SIZE_CHECK, rule.sizeLimit != 0);
  addEntries(dialog, IDC_RULE_SIZE_SIGN, {u"<=", u">="});
  addEntries(dialog, IDC_RULE_SIZE, {u"10", u"50", u"100", u"500", u"1000", u"10000"});
  SendDlgItemMessageW(dialog, IDC_RULE_SIZE_SIGN, CB_SETCURSEL, rule.sizeLimit > 0 ? 1 : 0, 0);
  setText(dialog, IDC_RULE_SIZE, rule.sizeLimit == 0 ? u"" : kilobytesText(rule.sizeLimit).c_str());

  tick(dialog, IDC_RULE_OLDER_CHECK, rule.olderThan != 0);
  addEntries(dialog, IDC_RULE_OLDER, {u"1", u"5", u"10", u"15", u"30", u"60", u"120", u"180"});
  setText(dialog, IDC_RULE_OLDER, utf8ToUtf16(std::to_string(rule.olderThan)).c_str());

  tick(dialog, IDC_RULE_READ, rule.isRead != 0);
  tick(dialog, IDC_RULE_HAS_ATTACH, rule.hasAttach != 0);
  setText(dialog, IDC_RULE_MOVE_TO, same(rule.moveTo, DELETE_MARKER) ? loadString(IDS_DELETE_MARK, &deleteText) : rule.moveTo);
  setText(dialog, IDC_RULE_SOUND, rule.playSound);
  setText(dialog, IDC_RULE_EXECUTE, rule.execute);
  tick(dialog, IDC_RULE_DOWNLOAD, rule.download != 0);
  tick(dialog, IDC_RULE_MARK_AS_READ, rule.markAsRead != 0);
}

void initialise(HWND dialog, RuleEditor *editor)
{
  SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(editor));
  showFullScreenDialog(dialog, IDR_RULE_EDITOR_MENU);

  showRule(dialog, *editor->rule);

  SendMessageW(dialog, WM_SHELL_DIALOG_SCROLL_RESET, 1, 1);
  editor->view.scrollPos = 0;
  setRuleEditorScrollRange(dialog, editor->view);
}

// A box's text, cut to what a rule's text holds.
void readText(HWND dialog, int id, WCHAR *field)
{
  WCHAR text[RULE_TEXT_CHARS] = {};
  GetDlgItemTextW(dialog, id, text, RULE_TEXT_CHARS);
  wstrCopy(field, RULE_TEXT_CHARS, text);
}

// The decimal number at the start of a box's text (0 when there is none).
std::int32_t readNumber(HWND dialog, int id)
{
  WCHAR text[RULE_TEXT_CHARS] = {};
  GetDlgItemTextW(dialog, id, text, RULE_TEXT_CHARS);
  return parseSettingNumber(text);
}

// Kilobytes as a size limit in bytes, held within the field's range.
LONG sizeInBytes(std::int64_t kilobytes)
{
  return static_cast<LONG>(std::clamp<std::int64_t>(kilobytes * 1024, std::numeric_limits<LONG>::min(),
                                                    std::numeric_limits<LONG>::max()));
}

// Writes the form into the rule; `enabled` and the link stay as they are.
void storeRule(HWND dialog, Rule &rule)
{
  Rule form{};
  form.enabled = rule.enabled;
  form.reserved1 = rule.reserved1;
  form.reserved2[0] = rule.reserved2[0];
  form.reserved2[1] = rule.reserved2[1];
  form.next = rule.next;

  if (SendDlgItemMessageW(dialog, IDC_RULE_MAILBOX, CB_GETCURSEL, 0, 0) >= 1)
    readText(dialog, IDC_RULE_MAILBOX, form.mailbox);
  if (ticked(dialog, IDC_RULE_FROM_CHECK)) {
    readText(dialog, IDC_RULE_FROM, form.from);
    if (same(form.from, loadString(IDS_KNOWN_USERS, &knownUsersText)))
      wstrCopy(form.from, RULE_TEXT_CHARS, KNOWN_USERS_MARKER);
  }
  if (ticked(dialog, IDC_RULE_TO_CHECK))
    readText(dialog, IDC_RULE_TO, form.to);
  if (ticked(dialog, IDC_RULE_SUBJECT_CHECK))
    readText(dialog, IDC_RULE_SUBJECT, form.subject);
  if (ticked(dialog, IDC_RULE_SIZE_CHECK)) {
    const std::int64_t kilobytes = readNumber(dialog, IDC_RULE_SIZE);
    switch (SendDlgItemMessageW(dialog, IDC_RULE_SIZE_SIGN, CB_GETCURSEL, 0, 0)) {
    case 0:
      form.sizeLimit = sizeInBytes(-kilobytes);
      break;
    case 1:
      form.sizeLimit = sizeInBytes(kilobytes);
      break;
    default:
      break;
    }
  }
  if (ticked(dialog, IDC_RULE_OLDER_CHECK))
    form.olderThan = readNumber(dialog, IDC_RULE_OLDER);
  form.isRead = ticked(dialog, IDC_RULE_READ) ? 1 : 0;
  form.hasAttach = ticked(dialog, IDC_RULE_HAS_ATTACH) ? 1 : 0;
  readText(dialog, IDC_RULE_MOVE_TO, form.moveTo);
  if (same(form.moveTo, loadString(IDS_DELETE_MARK, &deleteText)))
    wstrCopy(form.moveTo, RULE_TEXT_CHARS, DELETE_MARKER);
  readText(dialog, IDC_RULE_SOUND, form.playSound);
  readText(dialog, IDC_RULE_EXECUTE, form.execute);
  form.download = ticked(dialog, IDC_RULE_DOWNLOAD) ? 1 : 0;
  form.markAsRead = ticked(dialog, IDC_RULE_MARK_AS_READ) ? 1 : 0;
  rule = form;
}

// The file-open dialog of a picker; the picked path goes into the edit box.
bool pickFile(HWND dialog, const WCHAR *filter, const WCHAR *title, int edit, WCHAR *path)
{
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = dialog;
  request.lpstrFilter = filter;
  request.nFilterIndex = 1;
  request.lpstrFile = path;
  request.nMaxFile = PICKED_PATH_CHARS;
  request.lpstrTitle = title;
  request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&request))
    return false;
  SetDlgItemTextW(dialog, edit, path);
  return true;
}

void pickSound(HWND dialog)
{
  WCHAR path[PICKED_PATH_CHARS] = {};
  if (pickFile(dialog, u"WAV (*.wav)\0*.wav\0", u"Open sound", IDC_RULE_SOUND, path))
    PlaySoundW(path, nullptr, SND_FILENAME | SND_ASYNC);
}

void pickProgram(HWND dialog)
{
  WCHAR path[PICKED_PATH_CHARS] = {};
  (void)pickFile(dialog, u"EXE (*.exe)\0*.exe\0", u"Execute", IDC_RULE_EXECUTE, path);
}

void command(HWND dialog, RuleEditor *editor, WPARAM wParam)
{
  const WORD id = LOWORD(wParam);
  const WORD code = HIWORD(wParam);
  switch (id) {
  case IDOK:
    storeRule(dialog, *editor->rule);
    EndDialog(dialog, 1);
    return;
  case IDCANCEL:
    EndDialog(dialog, 0);
    return;
  case IDC_RULE_MAILBOX:
    if (code == CBN_SELCHANGE)
      fillRuleSuggestions(dialog);
    return;
  case IDC_RULE_SOUND_PICK:
    if (code == BN_CLICKED)
      pickSound(dialog);
    return;
  case IDC_RULE_EXECUTE_PICK:
    if (code == BN_CLICKED)
      pickProgram(dialog);
    return;
  default:
    if (code == BN_CLICKED)
      enablePaired(dialog, id);
    return;
  }
}

// The dialog procedure. Commands are handled and return TRUE; everything
// else goes on to the default processing after its handling. After each
// message the control with the focus is brought into view: on this
// platform controls are not painted through their dialog, so a focus change
// reaches the dialog only as a control's focus notification, a command.
INT_PTR ruleEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_INITDIALOG) {
    initialise(dialog, reinterpret_cast<RuleEditor *>(lParam));
    trackRuleEditorFocus(dialog, reinterpret_cast<RuleEditor *>(lParam)->view);
    return FALSE;
  }
  RuleEditor *editor = editorOf(dialog);
  if (!editor)
    return FALSE;
  INT_PTR result = FALSE;
  switch (message) {
  case WM_COMMAND:
    command(dialog, editor, wParam);
    result = TRUE;
    break;
  case WM_CLOSE:
    EndDialog(dialog, 0);
    result = TRUE;
    break;
  case WM_SIZE:
    layoutRuleEditor(dialog);
    setRuleEditorScrollRange(dialog, editor->view);
    break;
  case WM_VSCROLL:
    scrollRuleEditor(dialog, editor->view, wParam);
    break;
  case WM_DESTROY:
    SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
    return FALSE;
  default:
    break;
  }
  trackRuleEditorFocus(dialog, editor->view);
  return result;
}

} // namespace

INT_PTR runRuleEditorDialog(HWND owner)
{
  if (!editedRule)
    return -1;
  RuleEditor editor{editedRule, {}};
  return DialogBoxParamW(resourceModule, MAKEINTRESOURCEW(IDD_RULE_EDITOR), owner, ruleEditorProc,
                         reinterpret_cast<LPARAM>(&editor));
}

INT_PTR editListedRule(HWND owner, Rule *rule)
{
  const Rule opened = *rule;
  Rule copy = opened;
  Rule *outer = editedRule;
  editedRule = &copy;
  const INT_PTR result = runRuleEditor(owner);
  editedRule = outer;
  if (result != 1)
    return result;
  // The list may have been replaced meanwhile (an import): write only into
  // the same record, still listed and still as it was when the editor opened.
  bool listed = false;
  for (const Rule *r = ruleList; r; r = r->next)
    listed = listed || r == rule;
  if (!listed || std::memcmp(rule, &opened, RULE_FILE_RECORD_SIZE) != 0)
    return 0;
  copy.next = rule->next;
  *rule = copy;
  return 1;
}
