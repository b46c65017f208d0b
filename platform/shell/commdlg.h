// The file-open and file-save dialogs (GetOpenFileNameW, GetSaveFileNameW).
//
// On a display that shows dialogs they are a screen of the display: the
// folder, a list of its subfolders and of the files that fit the chosen
// filter, and the file name; Enter on a folder opens it, on a file chooses
// it. Paths are ordinary Linux paths. Headless (or on a thread that is not
// the display's), the dialog is cancelled: FALSE, CommDlgExtendedError 0.
#pragma once

#include "platform/base/types.h"

struct OPENFILENAMEW {
  DWORD lStructSize;        // sizeof(OPENFILENAMEW)
  HWND hwndOwner;           // owner window, may be null
  HINSTANCE hInstance;      // unused
  LPCWSTR lpstrFilter;      // pairs of description and pattern(s), each terminated, ended by an empty text
  LPWSTR lpstrCustomFilter; // unused
  DWORD nMaxCustFilter;     // unused
  DWORD nFilterIndex;       // the pair to use, from 1 (0 counts as 1)
  LPWSTR lpstrFile;         // in: initial name (may be a path); out: the chosen path
  DWORD nMaxFile;           // lpstrFile's size in units
  LPWSTR lpstrFileTitle;    // out: the chosen file's name without its folder; may be null
  DWORD nMaxFileTitle;      // its size
  LPCWSTR lpstrInitialDir;  // first folder shown; null: lpstrFile's folder, else the working directory
  LPCWSTR lpstrTitle;       // the dialog's title; null: "Open" / "Save As"
  DWORD Flags;              // OFN_*
  WORD nFileOffset;         // out: where the name starts in lpstrFile
  WORD nFileExtension;      // out: where the extension starts (0 for none)
  LPCWSTR lpstrDefExt;      // save: extension added to a name without one; may be null
  LPARAM lCustData;         // unused
  void *lpfnHook;           // unused
  LPCWSTR lpTemplateName;   // unused
};
using LPOPENFILENAMEW = OPENFILENAMEW *;

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;

// CommDlgExtendedError's codes.
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// TRUE with the chosen path in lpstrFile; FALSE when cancelled, or when the
// record is bad or the path does not fit (CommDlgExtendedError tells).
BOOL GetOpenFileNameW(LPOPENFILENAMEW lpofn);
BOOL GetSaveFileNameW(LPOPENFILENAMEW lpofn);
// The reason the last call on this thread returned FALSE; 0 for a cancel.
DWORD CommDlgExtendedError();
