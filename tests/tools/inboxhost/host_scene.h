// What the Inbox host meets, in the test's own process: a Maildir data
// root with the store "Local", the messaging library and COM set up as the
// host program does, the test display, and a menu extension of the test's
// own, registered for both menus of the message list, that records the
// selection it was given and the verbs it was asked to carry out.
#pragma once

#include "platform/com/com.h"
#include "platform/com/dataobject.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"
#include "platform/registry/registry.h"
#include "platform/shell/menu_extension.h"
#include "platform/window/display.h"
#include "platform/window/menu.h"
#include "platform/window/clipboard.h"
#include "tests/support/temp_root.h"
#include "tools/inboxhost/extension_menu.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// What the test extension saw.
struct ExtensionRecord {
  std::vector<MapiEntryBytes> queried; // the selected message of each QueryContextMenu
  std::vector<std::u16string> verbs;   // each InvokeCommand's verb
  std::vector<MapiEntryBytes> invoked; // the selected message of each InvokeCommand
};

inline ExtensionRecord extensionRecord;

// The selected message of a site's "ItemRefArray" record, or nothing.
inline MapiEntryBytes selectedOf(IUnknown *site)
{
  IDataObject *data = nullptr;
  if (!site || FAILED(site->QueryInterface(IID_IDataObject, reinterpret_cast<void **>(&data))))
    return {};
  FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CF_ITEMREFARRAY_NAME)), nullptr,
                   DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  MapiEntryBytes bytes;
  if (SUCCEEDED(data->GetData(&format, &medium))) {
    const auto *record = static_cast<const ItemRefArray *>(medium.hGlobal);
    const SBinary *id = record->refs[1].entryId;
    bytes.assign(id->lpb, id->lpb + id->cb);
    ReleaseStgMedium(&medium);
  }
  data->Release();
  return bytes;
}

// One command, "Test command", for the selected message.
class TestExtension final : public IContextMenu, public IObjectWithSite {
public:
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (riid == IID_IUnknown || riid == IID_IContextMenu)
      *ppv = static_cast<IContextMenu *>(this);
    else if (riid == IID_IObjectWithSite)
      *ppv = static_cast<IObjectWithSite *>(this);
    else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override
  {
    ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT SetSite(IUnknown *site) override
  {
    if (site_)
      site_->Release();
    site_ = site;
    if (site_)
      site_->AddRef();
    return S_OK;
  }
  HRESULT GetSite(REFIID riid, void **ppv) override { return site_ ? site_->QueryInterface(riid, ppv) : E_FAIL; }
  HRESULT QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override
  {
    extensionRecord.queried.push_back(selectedOf(site_));
    return InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, first, u"Test command") ? S_OK : E_FAIL;
  }
  HRESULT InvokeCommand(LPCMINVOKECOMMANDINFO info) override
  {
    extensionRecord.verbs.emplace_back(info->lpVerb);
    extensionRecord.invoked.push_back(selectedOf(site_));
    return S_OK;
  }
  HRESULT GetCommandString(UINT_PTR, UINT, UINT *, LPWSTR, UINT) override { return E_NOTIMPL; }

private:
  ~TestExtension() override { SetSite(nullptr); }
  ULONG references_ = 1;
  IUnknown *site_ = nullptr;
};

class TestExtensionFactory final : public IClassFactory {
public:
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory *>(this);
    return S_OK;
  }
  ULONG AddRef() override { return 2; } // lives on the test's stack
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown *, REFIID riid, void **ppv) override
  {
    auto *object = new TestExtension;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

// {0D6A7C22-5B8E-4C3F-9A41-7E2B8C1D9F30}
inline constexpr CLSID CLSID_TestExtension = {0x0D6A7C22, 0x5B8E, 0x4C3F, {0x9A, 0x41, 0x7E, 0x2B, 0x8C, 0x1D, 0x9F, 0x30}};

class HostTest : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    for (const char *folder : {"", "Inbox", "Outbox", "Sent Items", "Deleted Items", "Drafts"})
      for (const char *sub : {"cur", "new", "tmp"})
        fs::create_directories(root / "Mail/Local" / folder / sub);
    provider_ = createMaildirProvider(MaildirOptions{true, false});
    MAPISetProvider(provider_);
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    extensionRecord = ExtensionRecord{};
  }
  void TearDown() override
  {
    if (cookie_)
      (void)CoRevokeClassObject(cookie_);
    CoUninitialize();
    MAPIUninitialize();
    MAPISetProvider(nullptr);
    destroyMaildirProvider(provider_);
    TempRootTest::TearDown();
  }

  // The test extension in the class table, registered for both menus.
  void registerExtension()
  {
    ASSERT_EQ(CoRegisterClassObject(CLSID_TestExtension, &factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_),
              S_OK);
    for (const WCHAR *menu : {SOFTKEY_MENU_EXTENSIONS, CONTEXT_MENU_EXTENSIONS}) {
      HKEY key = nullptr;
      std::u16string path = std::u16string(menu) + u"\\{0D6A7C22-5B8E-4C3F-9A41-7E2B8C1D9F30}";
      ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr),
                ERROR_SUCCESS);
      RegCloseKey(key);
    }
  }

  // A message delivered the Maildir way into Local's Inbox, `minutesAgo`
  // old; its entry id name is `name`.
  void deliver(const std::string &name, const std::string &from, const std::string &subject, int minutesAgo,
               const std::string &flags = "") const
  {
    fs::path inbox = root / "Mail/Local/Inbox";
    {
      std::ofstream out(inbox / "tmp" / name, std::ios::binary);
      out << "From: " << from << "\r\nTo: me@example.org\r\nSubject: " << subject << "\r\n\r\nHello.\r\n";
    }
    fs::path target = flags.empty() ? inbox / "new" / name : inbox / "cur" / (name + ":2," + flags);
    fs::last_write_time(inbox / "tmp" / name, fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    fs::rename(inbox / "tmp" / name, target);
  }

private:
  MapiProvider *provider_ = nullptr;
  TestExtensionFactory factory_;
  DWORD cookie_ = 0;
};
