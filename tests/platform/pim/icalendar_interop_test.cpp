// Appointments and tasks as saved by the contacts server, read back by an
// iCalendar reader that nobody here wrote: the distribution's Python
// `icalendar` package. Texts that need escaping and folding, characters
// beyond the Basic Multilingual Plane, and the times.
#include "platform/clock/clock.h"
#include "platform/com/com.h"
#include "platform/pim/pimserver.h"
#include "platform/pim/pimtime.h"
#include "tests/platform/pim/zone_scope.h"
#include "tests/support/icalendar_reader.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

namespace {

// 2026-12-08 09:40:00 UTC.
constexpr ULONGLONG TEST_NOW = 134411964000000000ULL;

std::filesystem::path onlyFileIn(const std::filesystem::path &folder)
{
  std::vector<std::filesystem::path> files;
  for (const auto &e : std::filesystem::directory_iterator(folder))
    files.push_back(e.path());
  EXPECT_EQ(files.size(), 1u) << folder;
  return files.empty() ? folder : files[0];
}

std::u16string withoutCr(std::u16string_view text)
{
  std::u16string out;
  for (char16_t c : text)
    if (c != u'\r')
      out += c;
  return out;
}

} // namespace

class ICalendarInterop : public TempRootTest {
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
    ASSERT_EQ(app->Logon(0), S_OK);
  }
  void TearDown() override
  {
    if (app) {
      app->Logoff();
      app->Release();
    }
    CoUninitialize();
    pimRevokeServer(cookie);
    clockUseReal();
    TempRootTest::TearDown();
  }
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
  DWORD cookie = 0;             // the server's class-table registration
  IPOutlookApp2 *app = nullptr; // the application object
};

TEST_F(ICalendarInterop, TheDistributionsReaderReadsWhatWasSaved)
{
  ZoneScope zone("UTC");
  const std::u16string subject = u"Anna Berg: Budget; Q3, Q4 \\ plans \"final\" \U0001F4C5";
  std::u16string body = u"Hello,\r\nthe figures: 1,2;3\r\n\tindented\r\n";
  for (int i = 0; i < 12; ++i)
    body += u"\u00E9t\u00E9 \u20AC \u041F\u0440\u0438\u0432\u0435\u0442 ";
  body += u"\r\n";

  auto *appointment = create<IAppointment>(olAppointmentItem, IID_IAppointment);
  ASSERT_EQ(appointment->put_Subject(const_cast<WCHAR *>(subject.c_str())), S_OK);
  ASSERT_EQ(appointment->put_Body(const_cast<WCHAR *>(body.c_str())), S_OK);
  ASSERT_EQ(appointment->put_Start(civilToDate({2026, 12, 9, 14, 30, 0})), S_OK);
  ASSERT_EQ(appointment->put_End(civilToDate({2026, 12, 9, 16, 0, 0})), S_OK);
  ASSERT_EQ(appointment->Save(), S_OK);
  appointment->Release();

  auto *task = create<ITask>(olTaskItem, IID_ITask);
  ASSERT_EQ(task->put_Subject(const_cast<WCHAR *>(u"Reply to Chris")), S_OK);
  ASSERT_EQ(task->put_Body(const_cast<WCHAR *>(u"line one\r\nline two\r\n")), S_OK);
  ASSERT_EQ(task->put_DueDate(civilToDate({2026, 12, 24, 0, 0, 0})), S_OK);
  ASSERT_EQ(task->Save(), S_OK);
  task->Release();

  ICalendarReading reading = readICalendarFiles(
      {onlyFileIn(root / "PIM/Calendar"), onlyFileIn(root / "PIM/Tasks")});
  if (!reading.python)
    GTEST_SKIP() << "python3 is not installed: the files are not read by the distribution's reader";
  ASSERT_EQ(reading.status, 0) << reading.output;
  EXPECT_EQ(reading.output, "VEVENT\n"
                            "SUMMARY " + pythonJson(subject) + "\n"
                            "DESCRIPTION " + pythonJson(withoutCr(body)) + "\n"
                            "DTSTART 2026-12-09T14:30:00+00:00\n"
                            "DTEND 2026-12-09T16:00:00+00:00\n"
                            "VTODO\n"
                            "SUMMARY \"Reply to Chris\"\n"
                            "DESCRIPTION \"line one\\nline two\\n\"\n"
                            "DTSTART -\n"
                            "DUE 2026-12-24\n");
}
