// The application object and the default folders.
#include "platform/pim/pimobject.h"
#include "platform/pim/pimobjects.h"

#include <new>

namespace {

class Application : public PimObject<IPOutlookApp2> {
public:
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    return answer(riid, ppv, {IID_IPOutlookApp, IID_IPOutlookApp2});
  }

  HRESULT Logon(LONG) override
  {
    ++logons_;
    return S_OK;
  }

  HRESULT Logoff() override
  {
    LONG n = logons_.load();
    while (n > 0 && !logons_.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0 ? S_OK : E_UNEXPECTED;
  }

  HRESULT get_Version(BSTR *pwszVersion) override { return returnText(u"2.0", pwszVersion); }

  HRESULT GetDefaultFolder(int olFolder, IFolder **ppIFolder) override
  {
    if (!ppIFolder)
      return E_POINTER;
    *ppIFolder = nullptr;
    if (olFolder != olFolderContacts && olFolder != olFolderCalendar && olFolder != olFolderTasks)
      return E_INVALIDARG;
    if (logons_ == 0)
      return E_UNEXPECTED;
    *ppIFolder = newFolder(this, olFolder);
    return *ppIFolder ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT CreateItem(int olItem, IDispatch **ppPOutlookItem) override
  {
    if (!ppPOutlookItem)
      return E_POINTER;
    *ppPOutlookItem = nullptr;
    if (olItem != olAppointmentItem && olItem != olTaskItem)
      return E_INVALIDARG;
    if (logons_ == 0)
      return E_UNEXPECTED;
    *ppPOutlookItem = olItem == olAppointmentItem ? newAppointment() : newTask();
    return *ppPOutlookItem ? S_OK : E_OUTOFMEMORY;
  }

private:
  std::atomic<LONG> logons_{0}; // Logon calls not yet ended by Logoff
};

class Folder : public PimObject<IFolder> {
public:
  Folder(IPOutlookApp *app, int olFolder) : app_(app), folder_(olFolder) { app_->AddRef(); }

  HRESULT QueryInterface(REFIID riid, void **ppv) override { return answer(riid, ppv, {IID_IFolder}); }

  HRESULT get_Items(IPOutlookItemCollection **ppolItems) override
  {
    if (!ppolItems)
      return E_POINTER;
    *ppolItems = newItemCollection(folder_);
    return *ppolItems ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT get_DefaultItemType(int *polItem) override
  {
    int type = folder_ == olFolderContacts   ? olContactItem
               : folder_ == olFolderCalendar ? olAppointmentItem
                                             : olTaskItem;
    return returnValue(type, polItem);
  }

  HRESULT get_Application(IPOutlookApp **polApp) override
  {
    if (!polApp)
      return E_POINTER;
    app_->AddRef();
    *polApp = app_;
    return S_OK;
  }

private:
  ~Folder() override { app_->Release(); }

  IPOutlookApp *app_; // the application object, referenced
  int folder_;        // olFolderContacts, olFolderCalendar or olFolderTasks
};

} // namespace

IPOutlookApp2 *newApplication() { return new (std::nothrow) Application; }

IFolder *newFolder(IPOutlookApp *app, int olFolder) { return new (std::nothrow) Folder(app, olFolder); }

HRESULT returnText(const std::u16string &text, BSTR *out)
{
  if (!out)
    return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

std::u16string textIn(BSTR text) { return text ? std::u16string(text) : std::u16string(); }
