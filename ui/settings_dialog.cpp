#include "ui/settings_dialog.h"

#include "app/program_state.h"
#include "app/tray.h"
#include "platform/shell/commdlg.h"
#include "platform/shell/msgbox.h"
#include "platform/text/wstr.h"
#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "rules/backup.h"
#include "rules/rule.h"
#include "rules/rule_list_view.h"
#include "services/resources.h"
#include "services/settings.h"
#include "ui/layout.h"
#include "ui/resources/resource_ids.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

constexpr std::size_t BACKUP_PATH_CHARS = 260; // the file dialogs' name buffer
constexpr WCHAR BACKUP_FILTER[] = u"Backup (*.bak)\0*.bak\0";

void showTraySetting(HWND dialog)
{
  SendDlgItemMessageW(dialog, IDC_TRAY_ICON, BM_SETCHECK, trayIconWanted() ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The backup buttons stand near the bottom of the handheld's screen. On a
// terminal too short for that they move up to the dialog's last line (never
// over the download limit's row), so that a short screen still shows them.
void placeBackupButtons(HWND dialog)
{
  RECT limitRow{0, 46, 0, 58};
  RECT exportButton{51, 125, 91, 139};
  RECT importButton{92, 125, 132, 139};
  MapDialogRect(dialog, &limitRow);
  MapDialogRect(dialog, &exportButton);
  MapDialogRect(dialog, &importButton);
  RECT client;
  GetClientRect(dialog, &client);
  const int height = exportButton.bottom - exportButton.top;
  const int top = std::max<int>(limitRow.bottom, std::min<int>(exportButton.top, client.bottom - height));
  MoveWindow(GetDlgItem(dialog, IDC_EXPORT), exportButton.left, top, exportButton.right - exportButton.left, height,
             TRUE);
  MoveWindow(GetDlgItem(dialog, IDC_IMPORT), importButton.left, top, importButton.right - importButton.left, height,
             TRUE);
}

void initialise(HWND dialog)
{
  showFullScreenDialog(dialog, IDR_RULE_EDITOR_MENU);

  showTraySetting(dialog);
  for (const WCHAR *entry : {u"10", u"50", u"100", u"500", u"1000", u"10000"})
    SendDlgItemMessageW(dialog, IDC_DOWNLOAD_LIMIT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  const std::int32_t limit = maxDownloadKB;
  if (limit >= 1)
    SetDlgItemTextW(dialog, IDC_DOWNLOAD_LIMIT, utf8ToUtf16(std::to_string(limit)).c_str());
}

void confirm(HWND dialog)
{
  if (SendDlgItemMessageW(dialog, IDC_TRAY_ICON, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"TRUE");
    addTrayIcon(mainWindow);
  } else {
    writeSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, u"FALSE");
    removeTrayIcon();
  }
  WCHAR limit[RULE_TEXT_CHARS] = {};
  GetDlgItemTextW(dialog, IDC_DOWNLOAD_LIMIT, limit, RULE_TEXT_CHARS);
  maxDownloadKB = limit[0] ? parseSettingNumber(limit) : 0;
  writeSetting(SETTINGS_KEY, SETTING_MAX_DOWNLOAD_SIZE, limit);
  EndDialog(dialog, 0);
}

// Says why a backup failed, naming the file: a failure that passed without a
// word would leave the user believing the rules were saved or restored.
void reportFailure(HWND dialog, bool exporting, const std::filesystem::path &file, const std::string &reason)
{
  static const WCHAR *notWritten = nullptr; // string 40101
  static const WCHAR *notRead = nullptr;    // string 40102
  const WCHAR *format = exporting ? loadString(IDS_BACKUP_NOT_WRITTEN, &notWritten)
                                  : loadString(IDS_BACKUP_NOT_READ, &notRead);
  const std::u16string name = utf8ToUtf16(file.string());
  const std::u16string why = utf8ToUtf16(reason);
  MessageBoxW(dialog, wformat(format, {name.c_str(), why.c_str()}).c_str(), exporting ? u"Export" : u"Import",
              MB_OK | MB_ICONERROR);
}

// The file dialog for a backup; false when the user cancelled.
bool chooseBackup(HWND dialog, bool save, WCHAR *path)
{
  wstrCopy(path, BACKUP_PATH_CHARS, u"Varn");
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = dialog;
  request.lpstrFilter = BACKUP_FILTER;
  request.nFilterIndex = 1;
  request.lpstrFile = path;
  request.nMaxFile = BACKUP_PATH_CHARS;
  request.lpstrTitle = save ? u"Export" : u"Import";
  request.Flags = save ? OFN_EXPLORER : OFN_EXPLORER | OFN_FILEMUSTEXIST;
  return save ? GetSaveFileNameW(&request) != FALSE : GetOpenFileNameW(&request) != FALSE;
}

// The chosen path, with ".bak" added when its name has no extension.
std::filesystem::path exportPath(const WCHAR *chosen)
{
  std::filesystem::path path(utf16ToUtf8(chosen));
  if (!path.has_extension())
    path += ".bak";
  return path;
}

void exportBackupFile(HWND dialog)
{
  WCHAR chosen[BACKUP_PATH_CHARS];
  if (!chooseBackup(dialog, true, chosen))
    return;
  const std::filesystem::path path = exportPath(chosen);
  std::string reason;
  if (!exportBackup(path, &reason))
    reportFailure(dialog, true, path, reason);
}

void importBackupFile(HWND dialog)
{
  WCHAR chosen[BACKUP_PATH_CHARS];
  if (!chooseBackup(dialog, false, chosen))
    return;
  const std::filesystem::path path(utf16ToUtf8(chosen));
  BackupSummary summary;
  std::string reason;
  if (!importBackup(path, &summary, &reason))
    reportFailure(dialog, false, path, reason);
  // Also after a failure: the known-users file may be all that was not
  // written, with the imported rules already in the list.
  if (rulesListDialog)
    fillRuleListView(GetDlgItem(rulesListDialog, IDC_RULES));
  showTraySetting(dialog);
}

INT_PTR settingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
  switch (message) {
  case WM_INITDIALOG:
    initialise(dialog);
    return FALSE;
  case WM_SIZE:
    placeBackupButtons(dialog);
    return FALSE;
  case WM_CLOSE:
    EndDialog(dialog, 0);
    return TRUE;
  case WM_COMMAND:
    switch (LOWORD(wParam)) {
    case IDOK:
      confirm(dialog);
      break;
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
    case IDC_EXPORT:
      exportBackupFile(dialog);
      break;
    case IDC_IMPORT:
      importBackupFile(dialog);
      break;
    default:
      return FALSE;
    }
    return TRUE;
  default:
    return FALSE;
  }
}

} // namespace

INT_PTR openSettingsDialog(HWND owner)
{
  return DialogBoxParamW(resourceModule, MAKEINTRESOURCEW(IDD_SETTINGS), owner, settingsProc, 0);
}
