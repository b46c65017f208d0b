#include "inboxmenu/stores.h"

#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"

#include <mutex>

namespace {

std::mutex prepareLock;
bool prepared = false; // MAPIInitialize succeeded once; never undone

HRESULT prepareMessaging()
{
  std::lock_guard<std::mutex> guard(prepareLock);
  if (prepared)
    return S_OK;
  if (!MAPIGetProvider()) {
    // Lives as long as the process: sessions may still be open at exit. It
    // only looks up the selected message: it makes no store.
    static MapiProvider *provider = createMaildirProvider(MaildirOptions{false, false, false});
    MAPISetProvider(provider);
  }
  HRESULT hr = MAPIInitialize(nullptr);
  prepared = hr == S_OK;
  return hr;
}

} // namespace

HRESULT logOnToStores(LPMAPISESSION *session)
{
  *session = nullptr;
  HRESULT hr = prepareMessaging();
  if (FAILED(hr))
    return hr;
  hr = MAPILogonEx(0, nullptr, nullptr, 0, session);
  if (FAILED(hr))
    *session = nullptr;
  return hr;
}

void logOffFromStores(LPMAPISESSION *session)
{
  if (!*session)
    return;
  (void)(*session)->Logoff(0, 0, 0); // nothing was changed through it
  (*session)->Release();
  *session = nullptr;
}
