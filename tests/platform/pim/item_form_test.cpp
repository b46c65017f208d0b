// The form that Display opens for an appointment or a task, on the test
// display: what it shows, what OK saves (only what changed, through the
// item's atomic Save), what a refused time or Cancel leaves alone; and
// headless, nothing shown and the saved item untouched.
#include "platform/clock/clock.h"
#include "platform/com/com.h"
#include "platform/pim/item_form.h"
#include "platform/pim/pimserver.h"
#include "platform/shell/msgbox.h"
#include "platform/text/wstr.h"
#include "platform/window/dialog.h"
#include "platform/window/display.h"
#include "tests/platform/pim/zone_scope.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

// 2026-12-08 09:40:00 UTC: a new appointment runs from 10:00 to 11:00.
constexpr ULONGLONG TEST_NOW = 134411964000000000ULL;

std::string slurp(const std::filesystem::path &p)
{
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string text(HWND dialog, int id)
{
  WCHAR buffer[256] = {};
  GetDlgItemTextW(dialog, id, buffer, 256);
  return buffer;
}

std::string screen()
{
  std::string all;
  for (const std::string &line : testDisplayScreen())
    all += line + "\n";
  return all;
}

constexpr int SUBJECT = 100, FIRST = 101, SECOND = 102; // the form's boxes

class ItemForm : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    clockSetForTest(1000, TEST_NOW);
    messageBoxRecordForTest(IDOK);
    setDisplay(testDisplay());
    testDisplaySetScreenSize(240, 320);
    ASSERT_EQ(pimRegisterServer(&cookie), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    void *p = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp2, &p), S_OK);
    app = static_cast<IPOutlookApp2 *>(p);
    ASSERT_EQ(app->Logon(0), S_OK);
  }

  void TearDown() override
  {
    app->Logoff();
    app->Release();
    CoUninitialize();
    pimRevokeServer(cookie);
    EXPECT_EQ(testDisplayUnscripted(), 0) << "the form waited with no step left";
    setDisplay(headlessDisplay());
    messageBoxUseReal();
    clockUseReal();
    TempRootTest::TearDown();
  }

  // A new item of that type, filled as the command channel fills it, saved.
  template <class Interface>
  Interface *saved(int type, REFIID iid)
  {
    IDispatch *item = nullptr;
    EXPECT_EQ(app->CreateItem(type, &item), S_OK);
    void *p = nullptr;
    EXPECT_EQ(item->QueryInterface(iid, &p), S_OK);
    item->Release();
    auto *typed = static_cast<Interface *>(p);
    EXPECT_EQ(typed->put_Subject(const_cast<WCHAR *>(u"Ann: Plans")), S_OK);
    EXPECT_EQ(typed->put_Body(const_cast<WCHAR *>(u"Hi!\r\nSee you on Friday.\r\n")), S_OK);
    EXPECT_EQ(typed->Save(), S_OK);
    return typed;
  }

  // The only file in the folder (a temporary file left beside it fails).
  std::filesystem::path onlyFile(const char *folder)
  {
    std::vector<std::filesystem::path> files;
    for (const auto &e : std::filesystem::directory_iterator(root / folder))
      files.push_back(e.path());
    EXPECT_EQ(files.size(), 1u) << folder;
    return files.empty() ? std::filesystem::path() : files[0];
  }

  DWORD cookie = 0;
  IPOutlookApp2 *app = nullptr;
};

TEST_F(ItemForm, AnAppointmentShowsItsFieldsAndOkSavesWhatChanged)
{
  ZoneScope zone("UTC");
  IAppointment *appointment = saved<IAppointment>(olAppointmentItem, IID_IAppointment);
  testDisplayScript({[](HWND form) {
    EXPECT_EQ(text(form, SUBJECT), u"Ann: Plans");
    EXPECT_EQ(text(form, FIRST), u"2026-12-08 10:00");
    EXPECT_EQ(text(form, SECOND), u"2026-12-08 11:00");
    const std::string shown = screen();
    EXPECT_NE(shown.find("Appointment"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Subject:  Ann: Plans"), std::string::npos) << shown;
    EXPECT_NE(shown.find("See you on Friday."), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\r'), std::string::npos);
    SetDlgItemTextW(form, SUBJECT, u"Plans with Ann");
    SetDlgItemTextW(form, SECOND, u" 2026-12-08 12:30 ");
    SendMessageW(form, WM_COMMAND, IDOK, 0);
  }});
  EXPECT_EQ(appointment->Display(), S_OK);

  const std::string saved = slurp(onlyFile("PIM/Calendar"));
  EXPECT_NE(saved.find("SUMMARY:Plans with Ann\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("DTSTART:20261208T100000Z\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("DTEND:20261208T123000Z\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("DESCRIPTION:Hi!\\nSee you on Friday.\\n"), std::string::npos) << saved;
  EXPECT_TRUE(messageBoxTakeRecorded().empty());

  // A new start alone keeps the length, as the item does.
  testDisplayScript({[](HWND form) {
    SetDlgItemTextW(form, FIRST, u"2026-12-09 09:00");
    SendMessageW(form, WM_COMMAND, IDOK, 0);
  }});
  EXPECT_EQ(appointment->Display(), S_OK);
  const std::string moved = slurp(onlyFile("PIM/Calendar"));
  EXPECT_NE(moved.find("DTSTART:20261209T090000Z\r\n"), std::string::npos) << moved;
  EXPECT_NE(moved.find("DTEND:20261209T113000Z\r\n"), std::string::npos) << moved;
  appointment->Release();
}

TEST_F(ItemForm, RefusedTimesAndCancelLeaveTheFileAsItWas)
{
  ZoneScope zone("UTC");
  IAppointment *appointment = saved<IAppointment>(olAppointmentItem, IID_IAppointment);
  const std::filesystem::path file = onlyFile("PIM/Calendar");
  const std::string before = slurp(file);
  const auto stamp = std::filesystem::last_write_time(file);
  int stepsRun = 0;
  auto typeAndConfirm = [&](const char16_t *start, const char16_t *end) {
    return [&stepsRun, start, end](HWND form) {
      ++stepsRun;
      SetDlgItemTextW(form, SUBJECT, u"Changed");
      SetDlgItemTextW(form, FIRST, start);
      SetDlgItemTextW(form, SECOND, end);
      SendMessageW(form, WM_COMMAND, IDOK, 0);
    };
  };
  testDisplayScript({typeAndConfirm(u"tomorrow", u"2026-12-08 11:00"),
                     typeAndConfirm(u"2026-12-08 24:00", u"2026-12-08 11:00"),
                     typeAndConfirm(u"2026-12-08 10:00", u"2026-12-08 09:00"),
                     typeAndConfirm(u"2026-12-08 10:00", u"2026-02-30 12:00"),
                     [&](HWND form) {
                       ++stepsRun;
                       SendMessageW(form, WM_COMMAND, IDCANCEL, 0);
                     }});
  EXPECT_EQ(appointment->Display(), S_OK);
  EXPECT_EQ(stepsRun, 5) << "each refused OK kept the form open";
  std::vector<MessageBoxCall> boxes = messageBoxTakeRecorded();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].text, u"The start is not a time: write it as YYYY-MM-DD HH:MM.");
  EXPECT_EQ(boxes[2].text, u"The end is before the start.");
  EXPECT_EQ(boxes[3].caption, u"Appointment");
  EXPECT_EQ(slurp(file), before);

  // OK with nothing changed writes nothing.
  testDisplayScript({[](HWND form) { SendMessageW(form, WM_COMMAND, IDOK, 0); }});
  EXPECT_EQ(appointment->Display(), S_OK);
  EXPECT_EQ(slurp(file), before);
  EXPECT_EQ(std::filesystem::last_write_time(file), stamp);

  // The refused texts never reached the item: a later save keeps its subject.
  ASSERT_EQ(appointment->Save(), S_OK);
  EXPECT_NE(slurp(file).find("SUMMARY:Ann: Plans\r\n"), std::string::npos);
  appointment->Release();
}

TEST_F(ItemForm, ATaskShowsItsDaysAndTakesADueDate)
{
  ZoneScope zone("UTC");
  ITask *task = saved<ITask>(olTaskItem, IID_ITask);
  testDisplayScript({[](HWND form) {
                       EXPECT_EQ(text(form, FIRST), u"") << "no start date";
                       EXPECT_EQ(text(form, SECOND), u"") << "no due date";
                       EXPECT_NE(screen().find("Due:"), std::string::npos) << screen();
                       SetDlgItemTextW(form, SECOND, u"2026-12-24 10:00");
                       SendMessageW(form, WM_COMMAND, IDOK, 0);
                     },
                     [](HWND form) {
                       SetDlgItemTextW(form, SECOND, u"2026-12-24");
                       SendMessageW(form, WM_COMMAND, IDOK, 0);
                     }});
  EXPECT_EQ(task->Display(), S_OK);
  std::vector<MessageBoxCall> boxes = messageBoxTakeRecorded();
  ASSERT_EQ(boxes.size(), 1u) << "a task's dates are days";
  EXPECT_EQ(boxes[0].caption, u"Task");
  const std::string saved = slurp(onlyFile("PIM/Tasks"));
  EXPECT_NE(saved.find("DUE;VALUE=DATE:20261224\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("DTSTART"), std::string::npos) << saved;

  // An emptied date is "none" again.
  testDisplayScript({[](HWND form) {
    EXPECT_EQ(text(form, SECOND), u"2026-12-24");
    SetDlgItemTextW(form, SECOND, u"");
    SendMessageW(form, WM_COMMAND, IDOK, 0);
  }});
  EXPECT_EQ(task->Display(), S_OK);
  EXPECT_EQ(slurp(onlyFile("PIM/Tasks")).find("DUE"), std::string::npos);
  task->Release();
}

TEST_F(ItemForm, HeadlessShowsNothingAndTheItemStaysSaved)
{
  ITask *task = saved<ITask>(olTaskItem, IID_ITask);
  const std::string before = slurp(onlyFile("PIM/Tasks"));
  setDisplay(headlessDisplay());
  EXPECT_EQ(task->Display(), S_FALSE);
  EXPECT_EQ(slurp(onlyFile("PIM/Tasks")), before);
  task->Release();
}

TEST(FormTime, TypedTimesAndTheirTexts)
{
  ZoneScope zone("UTC");
  DATE t = 0;
  ASSERT_TRUE(parseFormTime(u"2026-12-08 10:05", true, false, &t));
  EXPECT_EQ(formTimeText(t, true), u"2026-12-08 10:05");
  ASSERT_TRUE(parseFormTime(u"\t2026-12-08  ", true, false, &t)) << "a day alone is its midnight";
  EXPECT_EQ(formTimeText(t, true), u"2026-12-08 00:00");
  ASSERT_TRUE(parseFormTime(u"2024-02-29", false, true, &t));
  EXPECT_EQ(formTimeText(t, false), u"2024-02-29");
  ASSERT_TRUE(parseFormTime(u"  ", false, true, &t));
  EXPECT_EQ(t, POOM_NO_DATE);
  EXPECT_EQ(formTimeText(POOM_NO_DATE, false), u"");
  for (const char16_t *bad : {u"", u"2026-12-08 10:05Z", u"2026-12-8", u"2026/12/08", u"2025-02-29",
                              u"2026-13-01", u"2026-12-08 10:60", u"0099-01-01", u"2026-12-08T10:05",
                              u"+026-12-08", u"2026-12-08 1a:00"})
    EXPECT_FALSE(parseFormTime(bad, true, false, &t)) << utf16ToUtf8(bad);
  EXPECT_FALSE(parseFormTime(u"2026-12-08 10:05", false, true, &t)) << "a task takes days only";
}

} // namespace
