// The Inbox's menu extensions: the interfaces through which the Inbox
// application (tools/inboxhost here) asks an extension to add its items to a
// menu of the message list and to carry out a chosen item, and the selection
// record it hands over. The records hold native pointers on this platform;
// docs/inbox.md gives their layouts byte by byte.
#pragma once

#include "platform/base/types.h"
#include "platform/com/unknown.h"
#include "platform/mapi/mapidefs.h"

#include <cstddef>

// {FC4801A3-2BA9-11CF-A229-00AA003D7352}
inline constexpr IID IID_IObjectWithSite = {
    0xFC4801A3, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}};
// {000214E4-0000-0000-C000-000000000046}
inline constexpr IID IID_IContextMenu = {0x000214E4, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// An object that is told about the object it lives in (its site).
struct IObjectWithSite : IUnknown {
  // Keeps pUnkSite (with a reference) instead of the site held before; null
  // forgets the site.
  virtual HRESULT SetSite(IUnknown *pUnkSite) = 0;
  // The site asked for riid; E_FAIL without a site.
  virtual HRESULT GetSite(REFIID riid, void **ppvSite) = 0;
};

// QueryContextMenu flags.
constexpr UINT CMF_NORMAL = 0x00000000;

// GetCommandString types (the text is UTF-16 whatever the type).
constexpr UINT GCS_VERBW = 0x00000004;
constexpr UINT GCS_HELPTEXTW = 0x00000005;

// What the host gives InvokeCommand. lpVerb names the chosen item by its text
// (UTF-16), the text GetCommandString gives for the item's id; a value below
// 0x10000 is an id offset instead, which is not a text.
struct CMINVOKECOMMANDINFO {
  DWORD cbSize;         // sizeof(CMINVOKECOMMANDINFO)
  DWORD fMask;          // CMIC_* flags; 0
  HWND hwnd;            // the host's window, may be null
  LPCWSTR lpVerb;       // the item's text
  const char *lpParameters; // null
  const char *lpDirectory;  // null
  int nShow;            // SW_* value; 0
  DWORD dwHotKey;       // 0
  HANDLE hIcon;         // null
};
using LPCMINVOKECOMMANDINFO = CMINVOKECOMMANDINFO *;

// Where an extension finds the verb: the offset of lpVerb in the record
// (16 here; the handheld's 32-bit record has it at 12). A host's record may
// be unaligned, so it is read byte by byte.
constexpr std::size_t CMINVOKECOMMANDINFO_VERB_OFFSET = offsetof(CMINVOKECOMMANDINFO, lpVerb);

// Adds items to a host's menu and carries out the chosen one.
struct IContextMenu : IUnknown {
  // Adds the extension's items to hmenu at position indexMenu, with command
  // ids from idCmdFirst to idCmdLast.
  virtual HRESULT QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                   UINT uFlags) = 0;
  // Carries out the item named in the record.
  virtual HRESULT InvokeCommand(LPCMINVOKECOMMANDINFO pici) = 0;
  // The text of command idCmd into pszName (cchMax units, UTF-16).
  virtual HRESULT GetCommandString(UINT_PTR idCmd, UINT uType, UINT *pReserved, LPWSTR pszName,
                                   UINT cchMax) = 0;
};

// ---- The selection --------------------------------------------------------

// The clipboard format (RegisterClipboardFormatW) in which the site's data
// object (IDataObject) hands out the selection, as a TYMED_HGLOBAL medium
// whose hGlobal is the address of an ItemRefArray.
constexpr const WCHAR *CF_ITEMREFARRAY_NAME = u"ItemRefArray";

// Type of the first reference: the folder that holds the selected message.
// {1477399E-B31D-4D3D-AFFA-070E71CA8719}
inline constexpr GUID ITEMREF_TYPE_FOLDER = {
    0x1477399E, 0xB31D, 0x4D3D, {0xAF, 0xFA, 0x07, 0x0E, 0x71, 0xCA, 0x87, 0x19}};
// Type of the second reference: the selected message.
// {412F24E9-87E6-4BD5-9820-23E9230D6E8D}
inline constexpr GUID ITEMREF_TYPE_MESSAGE = {
    0x412F24E9, 0x87E6, 0x4BD5, {0x98, 0x20, 0x23, 0xE9, 0x23, 0x0D, 0x6E, 0x8D}};

// One reference: its type and an entry id (SBinary: a byte count and the
// bytes), both owned by the data object.
struct ItemRef {
  const GUID *type;       // ITEMREF_TYPE_FOLDER or ITEMREF_TYPE_MESSAGE
  const SBinary *entryId; // the object's entry id in the message stores
};

// The selection: a count and that many references. The Inbox's message list
// gives two, the folder first and the message second. Valid while the medium
// that carries it is held.
struct ItemRefArray {
  DWORD cRefs;        // number of references
  ItemRef refs[2];    // the first two (a record with fewer ends earlier)
};
