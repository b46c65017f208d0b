#include "inboxmenu/extension.h"

#include "inboxmenu/command_texts.h"
#include "inboxmenu/extension_object.h"
#include "inboxmenu/server.h"
#include "platform/text/wstr.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr HRESULT STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007A);

// Verbs below this value are id offsets, not texts.
constexpr std::uintptr_t FIRST_TEXT_VERB = 0x10000;

bool validKind(LONG kind) { return kind == KIND_CONTEXT_MENU || kind == KIND_SOFTKEY_MENU; }

bool sameText(const WCHAR *a, const WCHAR *b) { return a && b && wstrCmp(a, b) == 0; }

} // namespace

IUnknown *createInboxMenuExtension(LONG kind)
{
  auto *object = new (std::nothrow) InboxMenuExtension(kind);
  return object ? static_cast<IObjectWithSite *>(object) : nullptr;
}

InboxMenuExtension::InboxMenuExtension(LONG kind) : kind(kind) { ++moduleLockCount; }

InboxMenuExtension::~InboxMenuExtension()
{
  if (site)
    site->Release();
  --moduleLockCount;
}

HRESULT InboxMenuExtension::QueryInterface(REFIID riid, void **ppv)
{
  if (!ppv)
    return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IObjectWithSite)
    *ppv = static_cast<IObjectWithSite *>(this);
  else if (riid == IID_IContextMenu)
    *ppv = static_cast<IContextMenu *>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG InboxMenuExtension::AddRef() { return static_cast<ULONG>(++references); }

ULONG InboxMenuExtension::Release()
{
  LONG left = --references;
  if (left == 0)
    delete this;
  return static_cast<ULONG>(left);
}

HRESULT InboxMenuExtension::SetSite(IUnknown *pUnkSite)
{
  if (site)
    site->Release();
  site = pUnkSite;
  if (site)
    site->AddRef();
  return S_OK;
}

HRESULT InboxMenuExtension::GetSite(REFIID riid, void **ppvSite)
{
  if (!site)
    return E_FAIL;
  return site->QueryInterface(riid, ppvSite);
}

HRESULT InboxMenuExtension::GetCommandString(UINT_PTR idCmd, UINT, UINT *, LPWSTR pszName, UINT cchMax)
{
  if (idCmd > 0xFFFFFFFFu)
    return E_INVALIDARG; // no command has such an id
  return commandText(static_cast<UINT>(idCmd), pszName, cchMax);
}

HRESULT InboxMenuExtension::commandText(UINT id, LPWSTR buffer, UINT length)
{
  if (!buffer || !validKind(kind))
    return E_INVALIDARG;
  const WCHAR *text;
  if (id == commandIds[0])
    text = POPUP_CAPTION;
  else if (id == commandIds[1])
    text = commandTexts.createFilter;
  else if (id == commandIds[2])
    text = commandTexts.createAppointment;
  else if (id == commandIds[3])
    text = commandTexts.createTask;
  else if (id == commandIds[4])
    text = sendCommand(CODE_IS_KNOWN) == 1 ? commandTexts.markAsUnknown : commandTexts.markAsKnown;
  else
    return E_INVALIDARG;
  if (length == 0)
    return E_INVALIDARG;
  if (!text)
    text = u""; // the library's texts were not loaded: an empty item rather than a crash
  std::size_t n = wstrLen(text);
  bool cut = n >= length;
  if (cut)
    n = length - 1;
  std::memcpy(buffer, text, n * sizeof(WCHAR));
  buffer[n] = 0;
  return cut ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

HRESULT InboxMenuExtension::InvokeCommand(LPCMINVOKECOMMANDINFO pici)
{
  if (!pici)
    return E_INVALIDARG;
  // The host's record may be unaligned: the verb is read byte by byte.
  LPCWSTR verb;
  std::memcpy(&verb, reinterpret_cast<const BYTE *>(pici) + CMINVOKECOMMANDINFO_VERB_OFFSET, sizeof verb);
  if (!verb || !validKind(kind))
    return S_OK;
  if (reinterpret_cast<std::uintptr_t>(verb) < FIRST_TEXT_VERB)
    return E_INVALIDARG; // an id offset: commands are named by their texts here
  int code;
  if (sameText(verb, commandTexts.createFilter))
    code = CODE_CREATE_FILTER;
  else if (sameText(verb, commandTexts.createAppointment))
    code = CODE_CREATE_APPOINTMENT;
  else if (sameText(verb, commandTexts.createTask))
    code = CODE_CREATE_TASK;
  else if (sameText(verb, commandTexts.markAsKnown) || sameText(verb, commandTexts.markAsUnknown))
    code = CODE_TOGGLE_KNOWN;
  else
    return E_INVALIDARG;
  (void)sendCommand(code); // the host learns nothing more from the reply
  return S_OK;
}
