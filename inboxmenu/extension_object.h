// The extension object's layout and its internal operations, shared by the
// files that implement its interfaces (extension.cpp, popup.cpp,
// selection.cpp, send_command.cpp).
#pragma once

#include "platform/com/dataobject.h"
#include "platform/mapi/mapidefs.h"
#include "platform/shell/menu_extension.h"

#include <atomic>

// The popup's caption: a fixed text, the same in every language.
constexpr const WCHAR *POPUP_CAPTION = u"Sorrelby";

// Command codes the main window understands (WM_COPYDATA's dwData).
constexpr int CODE_CREATE_FILTER = 1;
constexpr int CODE_CREATE_APPOINTMENT = 2;
constexpr int CODE_CREATE_TASK = 3;
constexpr int CODE_TOGGLE_KNOWN = 4;
constexpr int CODE_IS_KNOWN = 5;

// The selection as fetched from the site, with the medium that holds it:
// the record is valid until release().
struct Selection {
  STGMEDIUM medium{TYMED_NULL, nullptr, nullptr}; // given back by release()
  const ItemRefArray *record = nullptr;           // medium.hGlobal as the record
  void release() { ReleaseStgMedium(&medium), record = nullptr; }
};

class InboxMenuExtension final : public IObjectWithSite, public IContextMenu {
public:
  explicit InboxMenuExtension(LONG kind);

  // IUnknown, through the first interface; the second forwards here.
  HRESULT QueryInterface(REFIID riid, void **ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IObjectWithSite.
  HRESULT SetSite(IUnknown *pUnkSite) override;
  HRESULT GetSite(REFIID riid, void **ppvSite) override;

  // IContextMenu.
  HRESULT QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                           UINT uFlags) override;
  HRESULT InvokeCommand(LPCMINVOKECOMMANDINFO pici) override;
  HRESULT GetCommandString(UINT_PTR idCmd, UINT uType, UINT *pReserved, LPWSTR pszName,
                           UINT cchMax) override;

private:
  ~InboxMenuExtension() override;

  // The text of command id into buffer (length units, terminator included):
  // the caption for the popup's own id, the command texts for the four
  // others; for the fourth, one code-5 exchange decides between "Mark as
  // Known" and "Mark as Unknown". E_INVALIDARG for a null buffer, a bad
  // kind or an id that is not one of the five; otherwise the copy's result
  // (STRSAFE_E_INSUFFICIENT_BUFFER when the text had to be cut).
  HRESULT commandText(UINT id, LPWSTR buffer, UINT length);
  // The site's selection in the "ItemRefArray" format. E_FAIL without a
  // site or without a handle in the medium; the data object's error
  // otherwise.
  HRESULT getSelection(Selection *out);
  // True when the selection names a folder and a message and the folder's
  // property 0x36010003 has none of the bits that make the commands unusable.
  bool selectionIsUsable();
  // Sends the main window the command code with the selected message's entry
  // id and returns its reply; -1 when there is no main window or no proper
  // selection, an error when the message cannot be opened (nothing is sent).
  LRESULT sendCommand(int code);
  // QueryContextMenu's work: the popup built once, greyed or enabled, and
  // inserted at indexMenu.
  HRESULT addPopup(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast);
  // The popup with the four commands, created on the first call.
  HRESULT buildPopup();
  // Removes earlier "Sorrelby" popups before position index of hmenu.
  void removeEarlierPopups(HMENU hmenu, UINT index);

  LPMAPISESSION logonSession = nullptr; // only while a call needs the message stores
  std::atomic<LONG> references{1};      // the creator's reference
  IUnknown *site = nullptr;             // the host object given by SetSite, referenced
  HMENU popup = nullptr;                // built once; belongs to the host's menu once inserted
  UINT commandIds[5] = {};              // idCmdFirst (the popup) and the four commands
  LONG kind;                            // 0 context menu, 1 softkey menu
};
