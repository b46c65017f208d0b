#include "app/contacts_import.h"

#include "app/program_state.h"
#include "platform/com/bstr.h"
#include "platform/com/com.h"
#include "platform/pim/pimstore.h"
#include "rules/known_users.h"

namespace {

// The interface start-up asks the application class for; its first methods
// are IPOutlookApp's.
constexpr IID IID_StartupApplication = {
    0xAF7D0DC7, 0x3D35, 0x424B, {0xAA, 0x60, 0x27, 0xA3, 0x8B, 0x8B, 0x62, 0x9E}};

bool comReady = false; // CoInitializeEx answered S_OK at start-up

using EmailGetter = HRESULT (IContact::*)(BSTR *);

void addContactAddresses(IContact *contact)
{
  for (EmailGetter get : {&IContact::get_Email1Address, &IContact::get_Email2Address,
                          &IContact::get_Email3Address}) {
    BSTR address = nullptr;
    if ((contact->*get)(&address) != S_OK)
      continue;
    if (address && address[0])
      addKnownUser(address, true);
    SysFreeString(address);
  }
}

void importItems(IPOutlookItemCollection *items, int count)
{
  for (int i = 1; i <= count; ++i) {
    IDispatch *item = nullptr;
    if (items->Item(i, &item) != S_OK || !item)
      continue;
    IContact *contact = nullptr;
    if (item->QueryInterface(IID_IContact, reinterpret_cast<void **>(&contact)) == S_OK && contact) {
      addContactAddresses(contact);
      contact->Release();
    }
    item->Release();
  }
}

} // namespace

void importContacts()
{
  if (CoInitializeEx(nullptr, 0) != S_OK)
    return; // S_FALSE too: the import runs only on a fresh COM start
  comReady = true;
  if (CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_StartupApplication,
                       reinterpret_cast<void **>(&pimApplication)) != S_OK) {
    pimApplication = nullptr;
    return;
  }
  if (pimApplication->Logon(0) != S_OK)
    return;

  IFolder *folder = nullptr;
  IPOutlookItemCollection *items = nullptr;
  int count = 0;
  if (pimApplication->GetDefaultFolder(olFolderContacts, &folder) == S_OK &&
      folder->get_Items(&items) == S_OK && items->get_Count(&count) == S_OK)
    importItems(items, count);
  if (items)
    items->Release();
  if (folder)
    folder->Release();
  (void)pimApplication->Logoff();
}

void releaseContactsApplication()
{
  if (pimApplication) {
    pimApplication->Release();
    pimApplication = nullptr;
  }
  if (comReady) {
    CoUninitialize();
    comReady = false;
  }
}
