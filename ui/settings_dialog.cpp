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

#include <filesystem>
#include <string>

namespace {

constexpr std::size_t BACKUP_PATH_CHARS = 260; // the file dialogs' name buffer
constexpr WCHAR BACKUP_FILTER[] = u"Backup (*.bak)\0*.bak\0";

void showTraySetting(HWND dialog)
{
  SendDlgItemMessageW(dialog, IDC_TRAY_ICON, BM_SETCHECK, trayIconWanted() ? BST_CHECKED : BST_UNCHECKED, 0);
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
void reportFailure(HWND dialog, const WCHAR *title, const std::filesystem::path &file, const std::string &reason)
{
  std::string text = "The backup " + file.string() + " could not be " +
                     (title[0] == u'E' ? "written" : "read") + ":\n" + reason;
  MessageBoxW(dialog, utf8ToUtf16(text).c_str(), title, MB_OK | MB_ICONERROR);
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
    reportFailure(dialog, u"Export", path, reason);
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
    reportFailure(dialog, u"Import", path, reason);
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
