#include "tools/inboxhost/mail_list.h"

#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "platform/window/display.h"
#include "platform/window/menu.h"
#include "tools/inboxhost/extension_menu.h"
#include "tools/inboxhost/host_resources.h"
#include "tools/inboxhost/inbox_messages.h"
#include "tools/inboxhost/inbox_watch.h"
#include "tools/inboxhost/selection_site.h"

#include <algorithm>
#include <vector>

namespace {

// The mail list's state, in the dialog's user data.
struct MailList {
  IMAPISession *session = nullptr;     // the host's session; logged off when the list ends
  InboxWatch *watch = nullptr;         // tells the list when an Inbox changed
  std::vector<InboxMessage> messages;  // what the list shows, newest first
  ExtensionMenu softkeyMenu;           // the extensions in the "Menu" softkey's popup
  SelectionSite *softkeySite = nullptr; // their selection
};

MailList *stateOf(HWND dialog)
{
  return reinterpret_cast<MailList *>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

HWND listOf(HWND dialog) { return GetDlgItem(dialog, IDC_MESSAGES); }

// The index into `messages` of the selected line, -1 for none.
int selectedMessage(HWND dialog)
{
  HWND view = listOf(dialog);
  auto line = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (line < 0)
    return -1;
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = line;
  if (!SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
    return -1;
  return static_cast<int>(item.lParam);
}

void selectLine(HWND view, int line)
{
  LVITEMW state{};
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&state));
  SendMessageW(view, LVM_SETSELECTIONMARK, 0, line);
  SendMessageW(view, LVM_ENSUREVISIBLE, static_cast<WPARAM>(line), FALSE);
}

// Puts the messages on the list, as wide as it is now, keeping the
// selection on the same message (or at the same line when it went).
void showMessages(HWND dialog, const MapiEntryBytes &selected, int selectedLine)
{
  MailList *list = stateOf(dialog);
  HWND view = listOf(dialog);
  RECT client{};
  GetClientRect(view, &client);
  const int columns = (client.right - client.left) / DISPLAY_CELL_WIDTH;
  const bool withStore = storeCount(list->messages) > 1;

  SendMessageW(view, LVM_DELETEALLITEMS, 0, 0);
  SendMessageW(view, LVM_DELETECOLUMN, 0, 0);
  std::u16string heading = headingLine(columns);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
  column.fmt = LVCFMT_LEFT;
  column.pszText = heading.data();
  column.cx = client.right - client.left;
  SendMessageW(view, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

  int keep = -1;
  for (std::size_t i = 0; i < list->messages.size(); ++i) {
    std::u16string text = messageLine(list->messages[i], columns, withStore);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(i);
    item.pszText = text.data();
    item.lParam = static_cast<LPARAM>(i);
    SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (!selected.empty() && list->messages[i].message == selected)
      keep = static_cast<int>(i);
  }
  const int count = static_cast<int>(list->messages.size());
  if (keep < 0 && count > 0)
    keep = std::min(std::max(selectedLine, 0), count - 1);
  if (keep >= 0)
    selectLine(view, keep);
}

// The list as it is on screen, re-read from the stores.
void readAndShow(HWND dialog)
{
  MailList *list = stateOf(dialog);
  int line = selectedMessage(dialog);
  MapiEntryBytes selected = line >= 0 ? list->messages[static_cast<std::size_t>(line)].message : MapiEntryBytes();
  list->messages = readInboxMessages(list->session, nullptr);
  showMessages(dialog, selected, line);
}

// The selection record for the selected message, or null when none is.
SelectionSite *selectionSite(HWND dialog)
{
  int index = selectedMessage(dialog);
  if (index < 0)
    return nullptr;
  const InboxMessage &m = stateOf(dialog)->messages[static_cast<std::size_t>(index)];
  return SelectionSite::create(m.folder, m.message);
}

void releaseSoftkeyMenu(MailList *list)
{
  releaseExtensionMenu(list->softkeyMenu);
  if (list->softkeySite)
    list->softkeySite->Release();
  list->softkeySite = nullptr;
}

// The "Menu" softkey's popup opens: the extensions registered for the
// softkey menu put their items for the selected message before "Refresh",
// replacing those of the last time.
void fillSoftkeyMenu(HWND dialog, HMENU popup)
{
  MailList *list = stateOf(dialog);
  releaseSoftkeyMenu(list);
  while (GetMenuItemCount(popup) > 1)
    (void)DeleteMenu(popup, 0, MF_BYPOSITION); // the extensions' popups go with their items
  list->softkeySite = selectionSite(dialog);
  if (!list->softkeySite)
    return;
  list->softkeyMenu = fillExtensionMenu(popup, 1, SOFTKEY_MENU_EXTENSIONS, list->softkeySite);
  if (GetMenuItemCount(popup) > 1)
    (void)InsertMenuW(popup, static_cast<UINT>(GetMenuItemCount(popup) - 1), MF_BYPOSITION | MF_SEPARATOR, 0,
                      nullptr);
}

bool isSoftkeyPopup(HMENU popup)
{
  int count = GetMenuItemCount(popup);
  return count > 0 && GetMenuItemID(popup, count - 1) == IDM_REFRESH;
}

// The context menu of the selected message (Shift-F10, the Menu key, Enter
// on a message): built by the extensions registered for it, shown below
// the message's line; the chosen command goes to its extension.
void showContextMenu(HWND dialog)
{
  SelectionSite *site = selectionSite(dialog);
  if (!site)
    return;
  ExtensionMenu menu = buildExtensionMenu(CONTEXT_MENU_EXTENSIONS, site);
  if (menu.menu) {
    if (GetMenuItemCount(menu.menu) == 0)
      (void)AppendMenuW(menu.menu, MF_STRING | MF_GRAYED, 0, u"(no commands)");
    HWND view = listOf(dialog);
    RECT at{};
    GetWindowRect(view, &at);
    auto line = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    auto top = static_cast<int>(SendMessageW(view, LVM_GETTOPINDEX, 0, 0));
    const int y = at.top + (line - top + 2) * DISPLAY_CELL_HEIGHT; // below the heading and the line
    auto id = static_cast<UINT>(TrackPopupMenuEx(menu.menu, TPM_RETURNCMD, at.left + 4 * DISPLAY_CELL_WIDTH, y,
                                                 dialog, nullptr));
    HRESULT hr = S_OK;
    if (id != 0)
      (void)invokeById(menu, id, &hr); // the extension reports nothing the list shows
  }
  releaseExtensionMenu(menu);
  site->Release();
}

void initialise(HWND dialog, MailList *list)
{
  SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(list));
  SetForegroundWindow(dialog);
  SetActiveWindow(dialog);
  SHINITDLGINFO shell{SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&shell);
  SHMENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  bar.hwndParent = dialog;
  bar.dwFlags = SHCMBF_HMENU;
  bar.nToolBarId = IDR_MAIL_LIST_MENU;
  bar.hInstRes = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  SHCreateMenuBar(&bar);
  list->watch = InboxWatch::create(dialog, WM_INBOX_CHANGED);
  if (list->watch)
    (void)list->watch->adviseAll(list->session); // an Inbox not watched is still read at "Refresh"
  // The host makes no store: one the program makes later (on an empty data
  // root, at its first start), or one linked in, is met by this timer.
  SetTimer(dialog, STORES_TIMER, STORES_CHECK_MS, nullptr);
  readAndShow(dialog);
  SetFocus(listOf(dialog));
}

void layout(HWND dialog)
{
  RECT client{};
  GetClientRect(dialog, &client);
  MoveWindow(listOf(dialog), 0, 0, client.right - client.left, client.bottom - client.top, TRUE);
  MailList *list = stateOf(dialog);
  if (!list)
    return; // sized before WM_INITDIALOG: the list is filled there
  int line = selectedMessage(dialog);
  showMessages(dialog, line >= 0 ? list->messages[static_cast<std::size_t>(line)].message : MapiEntryBytes(), line);
}

void finish(HWND dialog)
{
  MailList *list = stateOf(dialog);
  if (!list)
    return;
  releaseSoftkeyMenu(list);
  KillTimer(dialog, STORES_TIMER);
  if (list->watch) {
    list->watch->unadviseAll();
    list->watch->Release();
    list->watch = nullptr;
  }
}

INT_PTR command(HWND dialog, WPARAM wParam)
{
  const UINT id = LOWORD(wParam);
  switch (id) {
  case IDOK:
  case IDCANCEL:
  case IDM_EXIT:
    EndDialog(dialog, 0);
    return TRUE;
  case IDM_REFRESH:
    if (MailList *list = stateOf(dialog); list && list->watch)
      (void)list->watch->adviseAll(list->session);
    readAndShow(dialog);
    return TRUE;
  default: {
    HRESULT hr = S_OK;
    MailList *list = stateOf(dialog);
    return list && list->softkeyMenu.menu && invokeById(list->softkeyMenu, id, &hr) == InvokeOutcome::Invoked;
  }
  }
}

INT_PTR mailListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case WM_INITDIALOG:
    initialise(dialog, reinterpret_cast<MailList *>(lParam));
    return FALSE; // the focus is on the list
  case WM_SIZE:
    layout(dialog);
    return FALSE;
  case WM_COMMAND:
    return command(dialog, wParam);
  case WM_NOTIFY: {
    const auto *hdr = reinterpret_cast<const NMHDR *>(lParam);
    if (hdr->idFrom == IDC_MESSAGES && hdr->code == NM_DBLCLK)
      showContextMenu(dialog);
    return FALSE;
  }
  case WM_CONTEXTMENU:
    showContextMenu(dialog);
    return TRUE;
  case WM_INITMENUPOPUP:
    if (isSoftkeyPopup(reinterpret_cast<HMENU>(wParam)))
      fillSoftkeyMenu(dialog, reinterpret_cast<HMENU>(wParam));
    return TRUE;
  case WM_INBOX_CHANGED:
    // Read a little later, so that a burst of changes (a sorting pass moving
    // many messages) is read once.
    SetTimer(dialog, REFRESH_TIMER, REFRESH_DELAY_MS, nullptr);
    return TRUE;
  case WM_TIMER:
    if (wParam == STORES_TIMER) {
      // A new store's Inbox is read once it is watched, so nothing that
      // came before the watch is missed.
      if (MailList *list = stateOf(dialog); list && list->watch && list->watch->adviseAll(list->session) > 0)
        readAndShow(dialog);
      return TRUE;
    }
    if (wParam != REFRESH_TIMER)
      return FALSE;
    KillTimer(dialog, REFRESH_TIMER);
    if (MailList *list = stateOf(dialog); list && list->watch)
      list->watch->taken(); // changes from now on post again
    readAndShow(dialog);
    return TRUE;
  case WM_DESTROY:
    finish(dialog);
    return FALSE;
  default:
    return FALSE;
  }
}

} // namespace

int runMailList(HMODULE module)
{
  MailList list;
  if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, &list.session)))
    return -1;
  INT_PTR result = DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_MAIL_LIST), nullptr, mailListProc,
                                   reinterpret_cast<LPARAM>(&list));
  (void)list.session->Logoff(0, 0, 0); // the host changed nothing itself
  list.session->Release();
  return result < 0 ? -1 : 0;
}
