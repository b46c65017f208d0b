// The contacts, calendar and tasks server through COM, as the program uses
// it: the contacts import at start-up, and appointments and tasks created,
// saved and shown; with the files it reads and writes.
#include "platform/clock/clock.h"
#include "platform/com/com.h"
#include "platform/pim/contentline.h"
#include "platform/pim/pimserver.h"
#include "platform/pim/pimtime.h"
#include "platform/text/wstr.h"
#include "platform/window/display.h"
#include "tests/platform/pim/zone_scope.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Addresses = std::array<std::u16string, 3>;

// 2026-12-08 09:40:00 UTC.
constexpr ULONGLONG TEST_NOW = 134411964000000000ULL;

std::u16string take(BSTR s)
{
  std::u16string t = s ? std::u16string(s, SysStringLen(s)) : std::u16string();
  SysFreeString(s);
  return t;
}

std::string slurp(const std::filesystem::path &p)
{
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path &folder)
{
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto &e : std::filesystem::directory_iterator(folder, ec))
    files.push_back(e.path());
  return files;
}

// Records what Display was asked to show.
struct Shown {
  std::vector<PimDisplayRequest> requests; // in order
  HRESULT answer = S_OK;                   // what the handler returns
};

HRESULT recordDisplay(const PimDisplayRequest &request, void *context)
{
  auto *shown = static_cast<Shown *>(context);
  shown->requests.push_back(request);
  return shown->answer;
}

class Pim : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    clockSetForTest(1000, TEST_NOW);
    ASSERT_EQ(pimRegisterServer(&cookie), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    void *p = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp2, &p), S_OK);
    app = static_cast<IPOutlookApp2 *>(p);
  }

  void TearDown() override
  {
    if (app)
      app->Release();
    CoUninitialize();
    pimRevokeServer(cookie);
    pimSetDisplayHandler(nullptr, nullptr);
    clockUseReal();
    TempRootTest::TearDown();
  }

  void writeText(const std::filesystem::path &relative, const std::string &text)
  {
    writeFile(relative, std::vector<unsigned char>(text.begin(), text.end()));
  }

  // The contacts import as the program does it at start-up: Logon, the
  // contacts folder's items from 1 to the count, each asked for IContact
  // and its three addresses, every returned string freed; then Logoff.
  std::vector<Addresses> importContacts()
  {
    std::vector<Addresses> result;
    EXPECT_EQ(app->Logon(0), S_OK);
    IFolder *folder = nullptr;
    IPOutlookItemCollection *items = nullptr;
    int n = 0;
    EXPECT_EQ(app->GetDefaultFolder(olFolderContacts, &folder), S_OK);
    EXPECT_EQ(folder->get_Items(&items), S_OK);
    EXPECT_EQ(items->get_Count(&n), S_OK);
    for (int i = 1; i <= n; ++i) {
      IDispatch *item = nullptr;
      EXPECT_EQ(items->Item(i, &item), S_OK);
      void *contactPointer = nullptr;
      EXPECT_EQ(item->QueryInterface(IID_IContact, &contactPointer), S_OK);
      auto *contact = static_cast<IContact *>(contactPointer);
      Addresses a;
      BSTR s = nullptr;
      EXPECT_EQ(contact->get_Email1Address(&s), S_OK);
      a[0] = take(s);
      EXPECT_EQ(contact->get_Email2Address(&s), S_OK);
      a[1] = take(s);
      EXPECT_EQ(contact->get_Email3Address(&s), S_OK);
      a[2] = take(s);
      result.push_back(a);
      contact->Release();
      item->Release();
    }
    items->Release();
    folder->Release();
    EXPECT_EQ(app->Logoff(), S_OK);
    return result;
  }

  // A new item of that type, asked for the interface.
  template <class Interface>
  Interface *create(int type, REFIID iid)
  {
    IDispatch *item = nullptr;
    EXPECT_EQ(app->CreateItem(type, &item), S_OK);
    void *p = nullptr;
    EXPECT_EQ(item->QueryInterface(iid, &p), S_OK);
    item->Release();
    return static_cast<Interface *>(p);
  }

  // The only file in a folder below the root, read whole.
  std::string onlyFile(const char *folder, std::filesystem::path *path = nullptr)
  {
    std::vector<std::filesystem::path> files = filesIn(root / folder);
    EXPECT_EQ(files.size(), 1u) << folder;
    if (files.empty())
      return {};
    if (path)
      *path = files[0];
    return slurp(files[0]);
  }

  DWORD cookie = 0;             // the server's class-table registration
  IPOutlookApp2 *app = nullptr; // the application object, as the program keeps it
};

TEST_F(Pim, ContactsGiveTheirAddressesInOrder)
{
  writeText("PIM/Contacts/a.vcf",
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Berg\r\nEMAIL;TYPE=work:anna@tarnwell.example\r\n"
            "item1.EMAIL;TYPE=INTERNET:anna.berg@home.example\r\nEMAIL:ab@old.example\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No Mail\r\nTEL:123\r\nEND:VCARD\r\n");
  writeText("PIM/Contacts/work/b.vcf", "BEGIN:VCARD\nVERSION:4.0\nEMAIL:chris@example.org\nEND:VCARD\n");
  writeText("PIM/Contacts/.b.vcf.tmp1", "BEGIN:VCARD\nEMAIL:temporary@example.org\nEND:VCARD\n");
  writeText("PIM/Contacts/.hidden.vcf", "BEGIN:VCARD\nEMAIL:hidden@example.org\nEND:VCARD\n");
  writeText("PIM/Contacts/notes.txt", "BEGIN:VCARD\nEMAIL:text@example.org\nEND:VCARD\n");
  writeText("PIM/Contacts/c.VCF", std::string("\xFF\xFE\x00junk", 7));

  std::vector<Addresses> got = importContacts();
  std::vector<Addresses> expected = {
      {u"anna@tarnwell.example", u"anna.berg@home.example", u"ab@old.example"},
      {u"", u"", u""},
      {u"chris@example.org", u"", u""},
  };
  EXPECT_EQ(got, expected);
}

TEST_F(Pim, NoContactsFolderMeansNoContacts)
{
  EXPECT_TRUE(importContacts().empty());
}

TEST_F(Pim, ItemsCountFromOneAndRefuseOtherIndexes)
{
  writeText("PIM/Contacts/a.vcf", "BEGIN:VCARD\nEMAIL:a@b\nEND:VCARD\n");
  ASSERT_EQ(app->Logon(0), S_OK);
  IFolder *folder = nullptr;
  ASSERT_EQ(app->GetDefaultFolder(olFolderContacts, &folder), S_OK);
  int type = 0;
  EXPECT_EQ(folder->get_DefaultItemType(&type), S_OK);
  EXPECT_EQ(type, olContactItem);
  IPOutlookItemCollection *items = nullptr;
  ASSERT_EQ(folder->get_Items(&items), S_OK);
  for (int bad : {0, 2, -1}) {
    IDispatch *item = reinterpret_cast<IDispatch *>(0x1);
    EXPECT_EQ(items->Item(bad, &item), E_INVALIDARG) << bad;
    EXPECT_EQ(item, nullptr);
  }
  IDispatch *item = nullptr;
  ASSERT_EQ(items->Item(1, &item), S_OK);
  void *p = nullptr;
  EXPECT_EQ(item->QueryInterface(IID_IAppointment, &p), E_NOINTERFACE);
  EXPECT_EQ(item->QueryInterface(IID_IDispatch, &p), S_OK);
  static_cast<IUnknown *>(p)->Release();
  item->Release();
  IDispatch *other = reinterpret_cast<IDispatch *>(0x1);
  EXPECT_EQ(items->Add(&other), E_NOTIMPL) << "contacts are read only";
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(items->Find(nullptr, &other), E_NOTIMPL);
  items->Release();
  folder->Release();
  EXPECT_EQ(app->Logoff(), S_OK);
}

TEST_F(Pim, FoldersAndItemsNeedALogon)
{
  IFolder *folder = reinterpret_cast<IFolder *>(0x1);
  EXPECT_EQ(app->GetDefaultFolder(olFolderContacts, &folder), E_UNEXPECTED);
  EXPECT_EQ(folder, nullptr);
  IDispatch *item = nullptr;
  EXPECT_EQ(app->CreateItem(olTaskItem, &item), E_UNEXPECTED);
  EXPECT_EQ(app->Logoff(), E_UNEXPECTED);

  ASSERT_EQ(app->Logon(0), S_OK);
  EXPECT_EQ(app->GetDefaultFolder(11, &folder), E_INVALIDARG);
  EXPECT_EQ(app->CreateItem(olContactItem, &item), E_INVALIDARG);
  EXPECT_EQ(app->CreateItem(7, &item), E_INVALIDARG);
  EXPECT_EQ(app->GetDefaultFolder(olFolderTasks, nullptr), E_POINTER);
  ASSERT_EQ(app->Logoff(), S_OK);
  EXPECT_EQ(app->GetDefaultFolder(olFolderCalendar, &folder), E_UNEXPECTED) << "logged off again";
}

TEST_F(Pim, AnAppointmentIsSavedAsAValidICalendarFile)
{
  ZoneScope zone("UTC");
  ASSERT_EQ(app->Logon(0), S_OK);
  auto *appointment = create<IAppointment>(olAppointmentItem, IID_IAppointment);

  // As the command channel builds it: sender name, ": ", subject; and the
  // message text with CRLF line ends. The texts need escaping and folding.
  const std::u16string subject = u"Anna Berg: Budget; Q3, Q4 \\ plans";
  std::u16string body = u"Hello,\r\nthe figures: 1,2;3\r\n";
  for (int i = 0; i < 20; ++i)
    body += u"\u00E9t\u00E9 \u20AC line of text ";
  body += u"\r\n";
  ASSERT_EQ(appointment->put_Subject(const_cast<WCHAR *>(subject.c_str())), S_OK);
  ASSERT_EQ(appointment->put_Body(const_cast<WCHAR *>(body.c_str())), S_OK);
  ASSERT_EQ(appointment->Save(), S_OK);
  Shown shown;
  pimSetDisplayHandler(recordDisplay, &shown);
  EXPECT_EQ(appointment->Display(), S_OK);
  appointment->Release();
  ASSERT_EQ(app->Logoff(), S_OK);

  std::filesystem::path path;
  std::string text = onlyFile("PIM/Calendar", &path);
  ASSERT_EQ(shown.requests.size(), 1u);
  EXPECT_EQ(shown.requests[0].itemType, olAppointmentItem);
  EXPECT_EQ(shown.requests[0].file, path);
  EXPECT_EQ(shown.requests[0].subject, subject);

  // Lines of at most 75 octets, each ended by CRLF.
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    EXPECT_LE(end - start, 75u) << text.substr(start, end - start);
  EXPECT_EQ(start, text.size());
  EXPECT_NE(text.find("SUMMARY:Anna Berg: Budget\\; Q3\\, Q4 \\\\ plans\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("DESCRIPTION:Hello\\,\\nthe figures: 1\\,2\\;3\\n"), std::string::npos) << text;

  std::vector<Component> cs = parseComponents(text);
  ASSERT_EQ(cs.size(), 1u);
  const Component &cal = cs[0];
  EXPECT_EQ(cal.name, "VCALENDAR");
  EXPECT_EQ(findLine(cal, "VERSION")->value, "2.0");
  EXPECT_NE(findLine(cal, "PRODID"), nullptr);
  const Component *event = findChild(cal, "VEVENT");
  ASSERT_NE(event, nullptr);
  const ContentLine *uid = findLine(*event, "UID");
  ASSERT_NE(uid, nullptr);
  EXPECT_EQ(path.filename().string(), uid->value + ".ics");
  EXPECT_EQ(findLine(*event, "DTSTAMP")->value, "20261208T094000Z");
  // A new appointment starts at the next full hour and lasts one.
  EXPECT_EQ(findLine(*event, "DTSTART")->value, "20261208T100000Z");
  EXPECT_EQ(findLine(*event, "DTEND")->value, "20261208T110000Z");
  EXPECT_EQ(utf8ToUtf16(unescapeText(findLine(*event, "SUMMARY")->value)), subject);
  std::u16string lfBody;
  for (char16_t c : body)
    if (c != u'\r')
      lfBody += c;
  EXPECT_EQ(utf8ToUtf16(unescapeText(findLine(*event, "DESCRIPTION")->value)), lfBody);

  // And the server reads it back as it was put.
  ASSERT_EQ(app->Logon(0), S_OK);
  IFolder *folder = nullptr;
  ASSERT_EQ(app->GetDefaultFolder(olFolderCalendar, &folder), S_OK);
  IPOutlookItemCollection *items = nullptr;
  ASSERT_EQ(folder->get_Items(&items), S_OK);
  int n = 0;
  ASSERT_EQ(items->get_Count(&n), S_OK);
  ASSERT_EQ(n, 1);
  IDispatch *item = nullptr;
  ASSERT_EQ(items->Item(1, &item), S_OK);
  void *p = nullptr;
  ASSERT_EQ(item->QueryInterface(IID_IAppointment, &p), S_OK);
  auto *back = static_cast<IAppointment *>(p);
  BSTR s = nullptr;
  ASSERT_EQ(back->get_Subject(&s), S_OK);
  EXPECT_EQ(take(s), subject);
  ASSERT_EQ(back->get_Body(&s), S_OK);
  EXPECT_EQ(take(s), body);
  LONG minutes = 0;
  ASSERT_EQ(back->get_Duration(&minutes), S_OK);
  EXPECT_EQ(minutes, 60);
  back->Release();
  item->Release();
  items->Release();
  folder->Release();
  ASSERT_EQ(app->Logoff(), S_OK);
}

TEST_F(Pim, ATaskIsSavedAsAValidICalendarFile)
{
  ZoneScope zone("UTC");
  ASSERT_EQ(app->Logon(0), S_OK);
  auto *task = create<ITask>(olTaskItem, IID_ITask);
  ASSERT_EQ(task->put_Subject(const_cast<WCHAR *>(u"Reply to Chris")), S_OK);
  ASSERT_EQ(task->put_Body(const_cast<WCHAR *>(u"line one\r\nline two\r\n")), S_OK);
  ASSERT_EQ(task->Save(), S_OK);
  setDisplay(headlessDisplay());
  EXPECT_EQ(task->Display(), S_FALSE) << "no display: nothing shown";

  std::filesystem::path path;
  std::string text = onlyFile("PIM/Tasks", &path);
  std::vector<Component> cs = parseComponents(text);
  ASSERT_EQ(cs.size(), 1u);
  const Component *todo = findChild(cs[0], "VTODO");
  ASSERT_NE(todo, nullptr);
  EXPECT_EQ(path.filename().string(), findLine(*todo, "UID")->value + ".ics");
  EXPECT_EQ(findLine(*todo, "SUMMARY")->value, "Reply to Chris");
  EXPECT_EQ(findLine(*todo, "DESCRIPTION")->value, "line one\\nline two\\n");
  EXPECT_EQ(findLine(*todo, "STATUS")->value, "NEEDS-ACTION");
  EXPECT_EQ(findLine(*todo, "DTSTAMP")->value, "20261208T094000Z");
  EXPECT_EQ(findLine(*todo, "DUE"), nullptr) << "a new task has no due date";
  EXPECT_TRUE(filesIn(root / "PIM/Calendar").empty());

  // Completing it and saving again replaces the same file.
  ASSERT_EQ(task->put_Complete(VARIANT_TRUE), S_OK);
  ASSERT_EQ(task->put_DueDate(civilToDate({2026, 12, 24, 15, 30, 0})), S_OK);
  ASSERT_EQ(task->Save(), S_OK);
  text = onlyFile("PIM/Tasks");
  todo = nullptr;
  cs = parseComponents(text);
  todo = findChild(cs[0], "VTODO");
  EXPECT_EQ(findLine(*todo, "STATUS")->value, "COMPLETED");
  EXPECT_EQ(findLine(*todo, "COMPLETED")->value, "20261208T000000Z");
  const ContentLine *due = findLine(*todo, "DUE");
  ASSERT_NE(due, nullptr);
  EXPECT_EQ(due->value, "20261224");
  EXPECT_EQ(*findParam(*due, "VALUE"), "DATE");
  task->Release();
  ASSERT_EQ(app->Logoff(), S_OK);
}

TEST_F(Pim, SavingAnItemOfAnotherProgramKeepsWhatItWrote)
{
  const std::string foreign =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//khal//EN\r\n"
      "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nEND:VTIMEZONE\r\n"
      "BEGIN:VEVENT\r\nUID:khal-123@host\r\nDTSTAMP:20260101T000000Z\r\n"
      "DTSTART;TZID=Europe/Berlin:20261210T090000\r\nDTEND;TZID=Europe/Berlin:20261210T100000\r\n"
      "SUMMARY:Standup\r\nATTENDEE;CN=Kim:mailto:kim@example.org\r\nX-KHAL-NOTE:keep me\r\n"
      "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT10M\r\nEND:VALARM\r\n"
      "END:VEVENT\r\nEND:VCALENDAR\r\n";
  writeText("PIM/Calendar/khal-123.ics", foreign);
  ASSERT_EQ(app->Logon(0), S_OK);
  IFolder *folder = nullptr;
  ASSERT_EQ(app->GetDefaultFolder(olFolderCalendar, &folder), S_OK);
  IPOutlookItemCollection *items = nullptr;
  ASSERT_EQ(folder->get_Items(&items), S_OK);
  IDispatch *item = nullptr;
  ASSERT_EQ(items->Item(1, &item), S_OK);
  void *p = nullptr;
  ASSERT_EQ(item->QueryInterface(IID_IAppointment, &p), S_OK);
  auto *appointment = static_cast<IAppointment *>(p);

  VARIANT_BOOL set = VARIANT_FALSE;
  LONG minutes = 0;
  EXPECT_EQ(appointment->get_ReminderSet(&set), S_OK);
  EXPECT_EQ(set, VARIANT_TRUE);
  EXPECT_EQ(appointment->get_ReminderMinutesBeforeStart(&minutes), S_OK);
  EXPECT_EQ(minutes, 10);
  ASSERT_EQ(appointment->put_Location(const_cast<WCHAR *>(u"Room 4")), S_OK);
  ASSERT_EQ(appointment->Save(), S_OK);

  std::string text = onlyFile("PIM/Calendar");
  for (const char *kept : {"PRODID:-//khal//EN", "TZID:Europe/Berlin", "DTSTART;TZID=Europe/Berlin:20261210T090000",
                           "ATTENDEE;CN=Kim:mailto:kim@example.org", "X-KHAL-NOTE:keep me", "TRIGGER:-PT10M",
                           "UID:khal-123@host", "SUMMARY:Standup", "LOCATION:Room 4"})
    EXPECT_NE(text.find(kept), std::string::npos) << kept << "\n" << text;

  // A copy is a new item with a new UID in a file of its own.
  IAppointment *copy = nullptr;
  ASSERT_EQ(appointment->Copy(&copy), S_OK);
  ASSERT_EQ(copy->Save(), S_OK);
  EXPECT_EQ(filesIn(root / "PIM/Calendar").size(), 2u);
  // Deleting removes only the original's file.
  ASSERT_EQ(appointment->Delete(), S_OK);
  std::vector<std::filesystem::path> left = filesIn(root / "PIM/Calendar");
  ASSERT_EQ(left.size(), 1u);
  std::string copied = slurp(left[0]);
  EXPECT_EQ(copied.find("khal-123@host"), std::string::npos);
  EXPECT_NE(copied.find("LOCATION:Room 4"), std::string::npos);
  copy->Release();
  appointment->Release();
  item->Release();
  items->Release();
  folder->Release();
  ASSERT_EQ(app->Logoff(), S_OK);
}

TEST_F(Pim, AppointmentFieldsAreCheckedAndStored)
{
  ZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
  ASSERT_EQ(app->Logon(0), S_OK);
  auto *a = create<IAppointment>(olAppointmentItem, IID_IAppointment);
  DATE start = civilToDate({2026, 7, 1, 14, 0, 0});
  ASSERT_EQ(a->put_Duration(90), S_OK);
  ASSERT_EQ(a->put_Start(start), S_OK);
  DATE end = 0;
  ASSERT_EQ(a->get_End(&end), S_OK);
  EXPECT_NEAR(end, start + 90 / 1440.0, 1e-9) << "a new start keeps the duration";
  EXPECT_EQ(a->put_End(start - 1), E_INVALIDARG);
  EXPECT_EQ(a->put_Start(1e9), E_INVALIDARG);
  EXPECT_EQ(a->put_Duration(-5), E_INVALIDARG);
  EXPECT_EQ(a->put_BusyStatus(4), E_INVALIDARG);
  EXPECT_EQ(a->put_Sensitivity(1), E_INVALIDARG);
  ASSERT_EQ(a->put_BusyStatus(olFree), S_OK);
  ASSERT_EQ(a->put_Sensitivity(olPrivate), S_OK);
  ASSERT_EQ(a->put_Categories(const_cast<WCHAR *>(u"Work, Budget,,  ")), S_OK);
  ASSERT_EQ(a->put_ReminderSet(VARIANT_TRUE), S_OK);
  ASSERT_EQ(a->put_ReminderMinutesBeforeStart(30), S_OK);
  ASSERT_EQ(a->Save(), S_OK);
  std::string text = onlyFile("PIM/Calendar");
  for (const char *line : {"DTSTART:20260701T120000Z\r\n", "DTEND:20260701T133000Z\r\n", "TRANSP:TRANSPARENT\r\n",
                           "CLASS:PRIVATE\r\n", "CATEGORIES:Work,Budget\r\n", "BEGIN:VALARM\r\n",
                           "TRIGGER:-PT30M\r\n", "X-MICROSOFT-CDO-BUSYSTATUS:FREE\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;

  ASSERT_EQ(a->put_AllDayEvent(VARIANT_TRUE), S_OK);
  ASSERT_EQ(a->Save(), S_OK);
  text = onlyFile("PIM/Calendar");
  EXPECT_NE(text.find("DTSTART;VALUE=DATE:20260701\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("DTEND;VALUE=DATE:20260702\r\n"), std::string::npos) << text;
  a->Release();
  ASSERT_EQ(app->Logoff(), S_OK);
}

TEST_F(Pim, TheServerIsRegisteredOnce)
{
  DWORD again = 0;
  EXPECT_EQ(pimRegisterServer(&again), CO_E_OBJISREG);
  ASSERT_EQ(pimRevokeServer(cookie), S_OK);
  void *p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp2, &p),
            REGDB_E_CLASSNOTREG);
  ASSERT_EQ(pimRegisterServer(&cookie), S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IContact, &p), E_NOINTERFACE);
  ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp, &p), S_OK);
  BSTR version = nullptr;
  EXPECT_EQ(static_cast<IPOutlookApp *>(p)->get_Version(&version), S_OK);
  EXPECT_FALSE(take(version).empty());
  static_cast<IUnknown *>(p)->Release();
  void *factory = nullptr;
  EXPECT_EQ(pimGetClassObject(IID_IContact, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
}

} // namespace
