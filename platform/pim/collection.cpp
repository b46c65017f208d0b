// A folder's items, read from its files when the collection is made.
#include "platform/pim/icalendar.h"
#include "platform/pim/pimfiles.h"
#include "platform/pim/pimobject.h"
#include "platform/pim/pimobjects.h"

#include <utility>
#include <vector>

namespace {

// One appointment or task file as read.
struct CalendarFile {
  std::filesystem::path path; // the .ics file
  Component calendar;         // its VCALENDAR, holding the item
};

class ItemCollection : public PimObject<IPOutlookItemCollection> {
public:
  explicit ItemCollection(int olFolder) : folder_(olFolder)
  {
    if (folder_ == olFolderContacts)
      readContacts();
    else
      readCalendarFiles();
  }

  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    return answer(riid, ppv, {IID_IPOutlookItemCollection});
  }

  HRESULT Add(IDispatch **ppolItem) override
  {
    if (!ppolItem)
      return E_POINTER;
    *ppolItem = nullptr;
    if (folder_ == olFolderContacts)
      return E_NOTIMPL;
    *ppolItem = folder_ == olFolderCalendar ? newAppointment() : newTask();
    return *ppolItem ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT get_Count(int *pnCount) override { return returnValue(count(), pnCount); }

  HRESULT Find(BSTR, IDispatch **ppItem) override
  {
    if (ppItem)
      *ppItem = nullptr;
    return E_NOTIMPL;
  }

  HRESULT FindNext(IDispatch **ppItem) override
  {
    if (ppItem)
      *ppItem = nullptr;
    return E_NOTIMPL;
  }

  HRESULT Item(int iIndex, IDispatch **ppolItem) override
  {
    if (!ppolItem)
      return E_POINTER;
    *ppolItem = nullptr;
    if (iIndex < 1 || iIndex > count())
      return E_INVALIDARG;
    auto i = static_cast<std::size_t>(iIndex - 1);
    if (folder_ == olFolderContacts)
      *ppolItem = newContact(contacts_[i]);
    else if (folder_ == olFolderCalendar)
      *ppolItem = loadedAppointment(files_[i].path, files_[i].calendar);
    else
      *ppolItem = loadedTask(files_[i].path, files_[i].calendar);
    return *ppolItem ? S_OK : E_OUTOFMEMORY;
  }

private:
  int count() const
  {
    return static_cast<int>(folder_ == olFolderContacts ? contacts_.size() : files_.size());
  }

  void readContacts()
  {
    std::string bytes;
    for (const auto &path : listItemFiles(pimFolderPath(PimFolder::Contacts), ".vcf", true)) {
      if (!readItemFile(path, MAX_VCARD_FILE_BYTES, &bytes))
        continue;
      for (const Component &card : readVCards(bytes))
        contacts_.push_back(contactFromVCard(card));
    }
  }

  void readCalendarFiles()
  {
    bool calendar = folder_ == olFolderCalendar;
    const char *component = calendar ? "VEVENT" : "VTODO";
    std::string bytes;
    auto folder = pimFolderPath(calendar ? PimFolder::Calendar : PimFolder::Tasks);
    for (const auto &path : listItemFiles(folder, ".ics", false)) {
      CalendarFile file{path, {}};
      if (readItemFile(path, MAX_ICALENDAR_FILE_BYTES, &bytes) &&
          readCalendar(bytes, component, &file.calendar))
        files_.push_back(std::move(file));
    }
  }

  int folder_;                          // olFolderContacts, olFolderCalendar or olFolderTasks
  std::vector<ContactRecord> contacts_; // the contacts, in file and card order
  std::vector<CalendarFile> files_;     // the appointments or tasks, by file name
};

class Contact : public PimObject<IContact> {
public:
  explicit Contact(const ContactRecord &record) : r_(record) {}

  HRESULT QueryInterface(REFIID riid, void **ppv) override { return answer(riid, ppv, {IID_IContact}); }

  HRESULT get_Birthday(DATE *pst) override { return returnValue(r_.birthday, pst); }
  HRESULT get_Anniversary(DATE *pst) override { return returnValue(r_.anniversary, pst); }
  HRESULT get_BusinessFaxNumber(BSTR *p) override { return returnText(r_.businessFax, p); }
  HRESULT get_CompanyName(BSTR *p) override { return returnText(r_.companyName, p); }
  HRESULT get_Department(BSTR *p) override { return returnText(r_.department, p); }
  HRESULT get_Email1Address(BSTR *p) override { return returnText(r_.email[0], p); }
  HRESULT get_MobileTelephoneNumber(BSTR *p) override { return returnText(r_.mobile, p); }
  // vCard has no office location: always empty.
  HRESULT get_OfficeLocation(BSTR *p) override { return returnText({}, p); }
  HRESULT get_PagerNumber(BSTR *p) override { return returnText(r_.pager, p); }
  HRESULT get_BusinessTelephoneNumber(BSTR *p) override { return returnText(r_.businessPhone, p); }
  HRESULT get_JobTitle(BSTR *p) override { return returnText(r_.jobTitle, p); }
  HRESULT get_HomeTelephoneNumber(BSTR *p) override { return returnText(r_.homePhone, p); }
  HRESULT get_Email2Address(BSTR *p) override { return returnText(r_.email[1], p); }
  HRESULT get_Spouse(BSTR *p) override { return returnText(r_.spouse, p); }
  HRESULT get_Email3Address(BSTR *p) override { return returnText(r_.email[2], p); }

private:
  ContactRecord r_; // the card's fields
};

} // namespace

IPOutlookItemCollection *newItemCollection(int olFolder)
{
  try {
    return new ItemCollection(olFolder);
  } catch (...) {
    return nullptr;
  }
}

IDispatch *newContact(const ContactRecord &record)
{
  try {
    return new Contact(record);
  } catch (...) {
    return nullptr;
  }
}
