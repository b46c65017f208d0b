// The file-open and file-save dialogs as a screen of the display.
#include "platform/shell/commdlg.h"

#include "platform/shell/msgbox.h"
#include "platform/text/wstr.h"
#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/display.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr WORD FOLDER_ID = 100;  // the folder shown
constexpr WORD LIST_ID = 101;    // its subfolders and files
constexpr WORD NAME_ID = 102;    // the file name
constexpr WORD FILTER_ID = 103;  // the filter's description

thread_local DWORD lastError = 0; // CommDlgExtendedError

const DialogItemTemplate ITEMS[] = {
    {WC_STATICW, nullptr, FOLDER_ID, SS_LEFT, 0, 0, 0, 136, 10},
    {WC_LISTVIEWW, nullptr, LIST_ID, WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 13, 136, 91},
    {WC_STATICW, u"Name:", 0xFFFF, SS_LEFT, 0, 0, 106, 24, 10},
    {WC_EDITW, nullptr, NAME_ID, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0, 24, 104, 112, 12},
    {WC_STATICW, nullptr, FILTER_ID, SS_LEFT, 0, 0, 117, 136, 10},
    {WC_BUTTONW, u"OK", IDOK, WS_TABSTOP | BS_PUSHBUTTON, 0, 20, 129, 40, 12},
    {WC_BUTTONW, u"Cancel", IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 0, 76, 129, 40, 12},
};

// One run of the dialog.
struct Run {
  OPENFILENAMEW *ofn = nullptr;          // the caller's record
  bool save = false;                     // GetSaveFileNameW
  fs::path folder;                       // the folder shown
  std::vector<std::string> patterns;     // the chosen filter's patterns
  std::u16string filterName;             // its description
  std::vector<std::pair<std::string, bool>> entries; // listed names, true for folders
  fs::path chosen;                       // the path chosen
};

std::vector<std::u16string> filterTexts(LPCWSTR filter)
{
  std::vector<std::u16string> out;
  if (!filter)
    return out;
  for (const WCHAR *p = filter; *p; p += wstrLen(p) + 1)
    out.emplace_back(p);
  return out;
}

void chooseFilter(Run &run)
{
  std::vector<std::u16string> texts = filterTexts(run.ofn->lpstrFilter);
  std::size_t pair = run.ofn->nFilterIndex ? run.ofn->nFilterIndex - 1 : 0;
  if (2 * pair + 1 >= texts.size())
    pair = 0;
  if (2 * pair + 1 >= texts.size())
    return;
  run.filterName = texts[2 * pair];
  std::string patterns = utf16ToUtf8(texts[2 * pair + 1]);
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find(';', start);
    if (end == std::string::npos)
      end = patterns.size();
    if (end > start)
      run.patterns.push_back(patterns.substr(start, end - start));
    start = end + 1;
  }
}

bool fits(const Run &run, const std::string &name)
{
  if (run.patterns.empty())
    return true;
  for (const std::string &p : run.patterns)
    if (fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
      return true;
  return false;
}

void fill(HWND dlg, Run &run)
{
  run.entries.clear();
  std::error_code ec;
  std::vector<std::pair<std::string, bool>> folders, files;
  for (fs::directory_iterator it(run.folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.')
      continue;
    std::error_code typeError;
    if (it->is_directory(typeError))
      folders.emplace_back(name, true);
    else if (fits(run, name))
      files.emplace_back(name, false);
  }
  std::sort(folders.begin(), folders.end());
  std::sort(files.begin(), files.end());
  if (run.folder.has_parent_path() && run.folder != run.folder.root_path())
    run.entries.emplace_back("..", true);
  run.entries.insert(run.entries.end(), folders.begin(), folders.end());
  run.entries.insert(run.entries.end(), files.begin(), files.end());

  HWND list = GetDlgItem(dlg, LIST_ID);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < run.entries.size(); ++i) {
    std::u16string text = utf8ToUtf16(run.entries[i].first + (run.entries[i].second ? "/" : ""));
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(i);
    item.pszText = text.data();
    item.lParam = static_cast<LPARAM>(i);
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  SetDlgItemTextW(dlg, FOLDER_ID, utf8ToUtf16(run.folder.string()).c_str());
}

void openFolder(HWND dlg, Run &run, const fs::path &folder)
{
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(folder, ec);
  run.folder = ec ? folder : canonical;
  fill(dlg, run);
}

// The name box's text as a path: absolute as typed, else in the folder.
fs::path typedPath(HWND dlg, const Run &run)
{
  WCHAR buffer[4096];
  GetDlgItemTextW(dlg, NAME_ID, buffer, static_cast<int>(std::size(buffer)));
  std::string name = utf16ToUtf8(buffer);
  if (name.empty())
    return {};
  fs::path p(name);
  return p.is_absolute() ? p : run.folder / p;
}

void accept(HWND dlg, Run &run)
{
  fs::path path = typedPath(dlg, run);
  if (path.empty())
    return;
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    openFolder(dlg, run, path);
    SetDlgItemTextW(dlg, NAME_ID, u"");
    return;
  }
  if ((run.ofn->Flags & OFN_FILEMUSTEXIST) && !fs::is_regular_file(path, ec)) {
    std::u16string text = utf8ToUtf16(path.string()) + u"\nFile not found.";
    MessageBoxW(dlg, text.c_str(), run.ofn->lpstrTitle, MB_OK);
    return;
  }
  if (run.save && run.ofn->lpstrDefExt && *run.ofn->lpstrDefExt && !path.has_extension())
    path += "." + utf16ToUtf8(run.ofn->lpstrDefExt);
  if (run.save && (run.ofn->Flags & OFN_OVERWRITEPROMPT) && fs::exists(path, ec)) {
    std::u16string text = utf8ToUtf16(path.string()) + u" already exists.\nReplace it?";
    if (MessageBoxW(dlg, text.c_str(), run.ofn->lpstrTitle, MB_YESNO) != IDYES)
      return;
  }
  run.chosen = path;
  EndDialog(dlg, IDOK);
}

void entryActivated(HWND dlg, Run &run, int index)
{
  if (index < 0 || index >= static_cast<int>(run.entries.size()))
    return;
  const auto &entry = run.entries[static_cast<std::size_t>(index)];
  if (entry.second) {
    openFolder(dlg, run, entry.first == ".." ? run.folder.parent_path() : run.folder / entry.first);
    return;
  }
  SetDlgItemTextW(dlg, NAME_ID, utf8ToUtf16(entry.first).c_str());
  accept(dlg, run);
}

INT_PTR fileProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
  auto *run = reinterpret_cast<Run *>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
  switch (message) {
  case WM_INITDIALOG: {
    run = reinterpret_cast<Run *>(lParam);
    SetWindowLongPtrW(dlg, GWLP_USERDATA, lParam);
    SHINITDLGINFO info{SHIDIM_FLAGS, dlg, SHIDIF_SIZEDLGFULLSCREEN};
    SHInitDialog(&info);
    HWND list = GetDlgItem(dlg, LIST_ID);
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, LVCFMT_LEFT, 200, const_cast<LPWSTR>(u"Name"), 0, 0};
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SetDlgItemTextW(dlg, FILTER_ID, run->filterName.c_str());
    std::u16string initial = run->ofn->lpstrFile ? run->ofn->lpstrFile : u"";
    fs::path given(utf16ToUtf8(initial));
    SetDlgItemTextW(dlg, NAME_ID, utf8ToUtf16(given.filename().string()).c_str());
    fill(dlg, *run);
    if (!run->save)
      return TRUE; // the list first: a file is chosen from it
    // Saving starts in the name, selected whole: Enter takes the name given,
    // a name typed replaces it. Posted: the dialog is not shown yet, and a
    // hidden control takes no focus.
    PostMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, NAME_ID)), TRUE);
    return TRUE;
  }
  case WM_SIZE: {
    RECT r;
    GetClientRect(dlg, &r);
    const int w = r.right, h = r.bottom;
    const int line = DISPLAY_CELL_HEIGHT;
    MoveWindow(GetDlgItem(dlg, FOLDER_ID), 0, 0, w, line, TRUE);
    MoveWindow(GetDlgItem(dlg, LIST_ID), 0, line, w, std::max(2 * line, h - 4 * line), TRUE);
    HWND label = GetDlgItem(dlg, 0xFFFF);
    MoveWindow(label, 0, h - 3 * line, 6 * DISPLAY_CELL_WIDTH, line, TRUE);
    MoveWindow(GetDlgItem(dlg, NAME_ID), 6 * DISPLAY_CELL_WIDTH, h - 3 * line, w - 6 * DISPLAY_CELL_WIDTH, line, TRUE);
    MoveWindow(GetDlgItem(dlg, FILTER_ID), 0, h - 2 * line, w, line, TRUE);
    MoveWindow(GetDlgItem(dlg, IDOK), w / 4 - 6 * DISPLAY_CELL_WIDTH, h - line, 12 * DISPLAY_CELL_WIDTH, line, TRUE);
    MoveWindow(GetDlgItem(dlg, IDCANCEL), 3 * w / 4 - 6 * DISPLAY_CELL_WIDTH, h - line, 12 * DISPLAY_CELL_WIDTH, line, TRUE);
    return TRUE;
  }
  case WM_NOTIFY: {
    const auto *hdr = reinterpret_cast<const NMHDR *>(lParam);
    if (!run || hdr->idFrom != LIST_ID)
      return FALSE;
    if (hdr->code == NM_DBLCLK) {
      entryActivated(dlg, *run, reinterpret_cast<const NMITEMACTIVATE *>(lParam)->iItem);
    } else if (hdr->code == LVN_ITEMCHANGED) {
      const auto *nm = reinterpret_cast<const NMLISTVIEW *>(lParam);
      const bool nowSelected = (nm->uNewState & LVIS_SELECTED) && !(nm->uOldState & LVIS_SELECTED);
      if (nowSelected && nm->iItem >= 0 && nm->iItem < static_cast<int>(run->entries.size()) &&
          !run->entries[static_cast<std::size_t>(nm->iItem)].second)
        SetDlgItemTextW(dlg, NAME_ID, utf8ToUtf16(run->entries[static_cast<std::size_t>(nm->iItem)].first).c_str());
    }
    return TRUE;
  }
  case WM_COMMAND:
    if (!run)
      return FALSE;
    if (LOWORD(wParam) == IDOK) {
      accept(dlg, *run);
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      EndDialog(dlg, IDCANCEL);
      return TRUE;
    }
    return FALSE;
  case WM_CLOSE:
    EndDialog(dlg, IDCANCEL);
    return TRUE;
  default:
    return FALSE;
  }
}

BOOL runFileDialog(LPOPENFILENAMEW ofn, bool save)
{
  lastError = 0;
  if (!ofn || ofn->lStructSize != sizeof(OPENFILENAMEW) || !ofn->lpstrFile || ofn->nMaxFile == 0) {
    lastError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (!displayAvailableHere())
    return FALSE;
  Run run;
  run.ofn = ofn;
  run.save = save;
  chooseFilter(run);
  std::error_code ec;
  fs::path given(utf16ToUtf8(ofn->lpstrFile));
  if (ofn->lpstrInitialDir && *ofn->lpstrInitialDir)
    run.folder = utf16ToUtf8(ofn->lpstrInitialDir);
  else if (given.is_absolute() && given.has_parent_path())
    run.folder = given.parent_path();
  else
    run.folder = fs::current_path(ec);
  const LPCWSTR title = ofn->lpstrTitle ? ofn->lpstrTitle : (save ? u"Save As" : u"Open");
  DialogTemplate tpl{0, WS_POPUP | WS_CAPTION, 0, 0, 0, 136, 143, nullptr, title, u"System", 8, ITEMS,
                     std::size(ITEMS)};
  if (DialogBoxIndirectParamW(nullptr, &tpl, ofn->hwndOwner, fileProc, reinterpret_cast<LPARAM>(&run)) != IDOK)
    return FALSE;
  std::u16string path = utf8ToUtf16(run.chosen.string());
  if (path.size() + 1 > ofn->nMaxFile) {
    lastError = FNERR_BUFFERTOOSMALL;
    return FALSE;
  }
  wstrCopy(ofn->lpstrFile, ofn->nMaxFile, path);
  std::u16string name = utf8ToUtf16(run.chosen.filename().string());
  ofn->nFileOffset = static_cast<WORD>(path.size() - name.size());
  std::size_t dot = name.rfind(u'.');
  ofn->nFileExtension = dot == std::u16string::npos ? 0 : static_cast<WORD>(ofn->nFileOffset + dot + 1);
  if (ofn->lpstrFileTitle && ofn->nMaxFileTitle)
    wstrCopy(ofn->lpstrFileTitle, ofn->nMaxFileTitle, name);
  return TRUE;
}

} // namespace

BOOL GetOpenFileNameW(LPOPENFILENAMEW lpofn)
{
  return runFileDialog(lpofn, false);
}

BOOL GetSaveFileNameW(LPOPENFILENAMEW lpofn)
{
  return runFileDialog(lpofn, true);
}

DWORD CommDlgExtendedError()
{
  return lastError;
}
