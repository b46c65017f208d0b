// Sending a chosen command to the running program.
#include "inboxmenu/extension_object.h"
#include "inboxmenu/stores.h"
#include "platform/window/lend.h"
#include "platform/window/window.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr const WCHAR *MAIN_WINDOW_CLASS = u"Quillmarsh Class";
constexpr const WCHAR *MAIN_WINDOW_TITLE = u"Quillmarsh";

// The checks on the selected message's reference before it is opened:
// S_OK, or what the command returns instead of a reply.
LRESULT checkMessageRef(const ItemRef &ref)
{
  if (!ref.type || *ref.type != ITEMREF_TYPE_MESSAGE || !ref.entryId || ref.entryId->cb == 0)
    return E_FAIL;
  if (!ref.entryId->lpb)
    return E_OUTOFMEMORY;
  return S_OK;
}

// The commands that open the program's windows (the rule editor, the
// appointment and task forms) lend it the host's terminal when the host has
// one, so that a program without a display shows them there while the host
// waits. The others, and a host without a terminal, send as usual.
LRESULT sendToProgram(HWND mainWindow, int code, COPYDATASTRUCT *data)
{
  const LPARAM lParam = reinterpret_cast<LPARAM>(data);
  if (code < 1 || code > 3 || !terminalToLend())
    return SendMessageW(mainWindow, WM_COPYDATA, 0, lParam);
  LRESULT result = 0;
  switch (sendMessageLendingTerminal(mainWindow, WM_COPYDATA, 0, lParam, 0, &result)) {
  case LendOutcome::Lent:
  case LendOutcome::Declined: // shown on the program's own terminal
    return result;
  case LendOutcome::Busy:   // another terminal shows the program's windows: not carried out
  case LendOutcome::Failed: // the window went away (sending again could carry it out twice)
    break;
  }
  return -1;
}

} // namespace

LRESULT InboxMenuExtension::sendCommand(int code)
{
  HWND mainWindow = FindWindowW(MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE);
  if (!mainWindow)
    return -1;
  Selection selection;
  HRESULT hr = getSelection(&selection);
  if (FAILED(hr))
    return hr;
  if (selection.record->cRefs != 2) {
    selection.release();
    return -1;
  }
  const ItemRef message = selection.record->refs[1];
  LRESULT result = checkMessageRef(message);
  if (result != S_OK) {
    selection.release();
    return result;
  }
  const SBinary &id = *message.entryId;

  // The message is opened only to be sure that it exists.
  IUnknown *object = nullptr;
  hr = logOnToStores(&logonSession);
  if (SUCCEEDED(hr))
    hr = logonSession->OpenEntry(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr, 0, nullptr, &object);
  if (FAILED(hr))
    result = hr;
  else if (!object)
    result = E_OUTOFMEMORY;
  else {
    // The main window gets a copy: the record is the host's.
    std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[id.cb]);
    if (!bytes) {
      result = E_OUTOFMEMORY;
    } else {
      std::memcpy(bytes.get(), id.lpb, id.cb);
      COPYDATASTRUCT data{static_cast<ULONG_PTR>(code), id.cb, bytes.get()};
      result = sendToProgram(mainWindow, code, &data);
    }
  }
  if (object)
    object->Release();
  logOffFromStores(&logonSession);
  selection.release();
  return result;
}
