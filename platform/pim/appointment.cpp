// Appointments: IAppointment over a VEVENT in <root>/PIM/Calendar.
#include "platform/pim/calendaritem.h"
#include "platform/pim/icalendar.h"
#include "platform/pim/pimobject.h"
#include "platform/pim/pimobjects.h"

#include <cmath>

namespace {

constexpr double MINUTES_PER_DAY = 1440.0;

bool validDate(DATE d)
{
  CivilTime t;
  return dateToCivil(d, &t);
}

DATE midnightOf(DATE d)
{
  CivilTime t;
  dateToCivil(d, &t);
  t.hour = t.minute = t.second = 0;
  return civilToDate(t);
}

class Appointment : public PimObject<IAppointment> {
public:
  // A new appointment: from the next full hour, for an hour.
  Appointment() : item_(newCalendarItem("VEVENT"))
  {
    CivilTime t = unixToLocal(nowUnix());
    bool onTheHour = t.minute == 0 && t.second == 0;
    t.minute = t.second = 0;
    record_.start = civilToDate(t) + (onTheHour ? 0.0 : 1.0 / 24);
    record_.end = record_.start + 1.0 / 24;
  }

  Appointment(const std::filesystem::path &file, Component calendar)
      : item_{std::move(calendar), file}
  {
    record_ = appointmentFromEvent(itemComponent(item_, "VEVENT"));
    saved_ = record_;
  }

  Appointment(const CalendarItem &item, const AppointmentRecord &record) : item_(item), record_(record) {}

  HRESULT QueryInterface(REFIID riid, void **ppv) override { return answer(riid, ppv, {IID_IAppointment}); }

  HRESULT ClearRecurrencePattern() override
  {
    record_.recurring = false;
    return S_OK;
  }
  HRESULT GetRecurrencePattern(IRecurrencePattern **pp) override
  {
    if (pp)
      *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_IsRecurring(VARIANT_BOOL *p) override { return returnValue(variantBool(record_.recurring), p); }
  HRESULT get_Subject(BSTR *p) override { return returnText(record_.subject, p); }
  HRESULT get_Location(BSTR *p) override { return returnText(record_.location, p); }
  HRESULT get_Categories(BSTR *p) override { return returnText(record_.categories, p); }
  HRESULT get_Start(DATE *p) override { return returnValue(record_.start, p); }
  HRESULT get_Duration(LONG *p) override
  {
    return returnValue(static_cast<LONG>(std::lround((record_.end - record_.start) * MINUTES_PER_DAY)), p);
  }
  HRESULT get_End(DATE *p) override { return returnValue(record_.end, p); }
  HRESULT get_AllDayEvent(VARIANT_BOOL *p) override { return returnValue(variantBool(record_.allDay), p); }
  HRESULT get_BusyStatus(LONG *p) override { return returnValue(record_.busyStatus, p); }
  HRESULT get_Sensitivity(LONG *p) override { return returnValue(record_.sensitivity, p); }
  HRESULT get_Body(BSTR *p) override { return returnText(record_.body, p); }
  HRESULT get_Recipients(IRecipients **p) override
  {
    if (p)
      *p = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_MeetingStatus(LONG *p) override { return returnValue(olNonMeeting, p); }
  HRESULT get_ReminderSet(VARIANT_BOOL *p) override { return returnValue(variantBool(record_.reminderSet), p); }
  HRESULT get_ReminderSoundFile(BSTR *p) override { return returnText(record_.reminderSoundFile, p); }
  HRESULT get_ReminderMinutesBeforeStart(LONG *p) override { return returnValue(record_.reminderMinutes, p); }
  HRESULT get_ReminderOptions(LONG *p) override { return returnValue(record_.reminderOptions, p); }

  HRESULT put_Subject(BSTR v) override { return putText(&record_.subject, v); }
  HRESULT put_Location(BSTR v) override { return putText(&record_.location, v); }
  HRESULT put_Categories(BSTR v) override { return putText(&record_.categories, v); }
  // A new start keeps the duration.
  HRESULT put_Start(DATE st) override
  {
    if (!validDate(st) || !validDate(st + (record_.end - record_.start)))
      return E_INVALIDARG;
    record_.end = st + (record_.end - record_.start);
    record_.start = st;
    return S_OK;
  }
  HRESULT put_Duration(LONG minutes) override
  {
    if (minutes < 0 || !validDate(record_.start + minutes / MINUTES_PER_DAY))
      return E_INVALIDARG;
    record_.end = record_.start + minutes / MINUTES_PER_DAY;
    return S_OK;
  }
  HRESULT put_End(DATE st) override
  {
    if (!validDate(st) || st < record_.start)
      return E_INVALIDARG;
    record_.end = st;
    return S_OK;
  }
  // An all-day event covers whole days, at least one.
  HRESULT put_AllDayEvent(VARIANT_BOOL allDay) override
  {
    record_.allDay = allDay != VARIANT_FALSE;
    if (record_.allDay) {
      record_.start = midnightOf(record_.start);
      DATE end = midnightOf(record_.end);
      if (end < record_.end)
        end += 1;
      record_.end = end > record_.start ? end : record_.start + 1;
    }
    return S_OK;
  }
  HRESULT put_BusyStatus(LONG state) override
  {
    if (state < olFree || state > olOutOfOffice)
      return E_INVALIDARG;
    record_.busyStatus = state;
    return S_OK;
  }
  HRESULT put_Sensitivity(LONG sensitivity) override
  {
    if (sensitivity != olNormal && sensitivity != olPrivate)
      return E_INVALIDARG;
    record_.sensitivity = sensitivity;
    return S_OK;
  }
  HRESULT put_Body(BSTR v) override { return putText(&record_.body, v); }
  HRESULT put_ReminderSet(VARIANT_BOOL set) override
  {
    record_.reminderSet = set != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_ReminderSoundFile(BSTR v) override { return putText(&record_.reminderSoundFile, v); }
  HRESULT put_ReminderMinutesBeforeStart(LONG minutes) override
  {
    if (minutes < 0)
      return E_INVALIDARG;
    record_.reminderMinutes = minutes;
    return S_OK;
  }
  HRESULT put_ReminderOptions(LONG options) override
  {
    if (options < 0 || options > (olLED | olVibrate | olDialog | olSound | olRepeat))
      return E_INVALIDARG;
    record_.reminderOptions = options;
    return S_OK;
  }

  HRESULT Save() override
  {
    return guarded([&] {
      storeAppointment(record_, item_.file.empty() ? nullptr : &saved_, &itemComponent(item_, "VEVENT"));
      HRESULT hr = writeCalendarItem(&item_, PimFolder::Calendar, "VEVENT");
      if (SUCCEEDED(hr))
        saved_ = record_;
      return hr;
    });
  }
  // Meeting requests are not offered: there is no one to send them to.
  HRESULT Send() override { return E_NOTIMPL; }
  HRESULT Delete() override { return deleteCalendarItem(&item_); }
  HRESULT Cancel() override { return E_NOTIMPL; }
  HRESULT Copy(IAppointment **pp) override
  {
    if (!pp)
      return E_POINTER;
    *pp = nullptr;
    return guarded([&] {
      *pp = new Appointment(copyCalendarItem(item_, "VEVENT"), record_);
      return S_OK;
    });
  }
  HRESULT Display() override
  {
    return guarded([&] { return pimDisplay({olAppointmentItem, item_.file, record_.subject, this}); });
  }

private:
  static HRESULT putText(std::u16string *field, BSTR v)
  {
    return guarded([&] {
      *field = textIn(v);
      return S_OK;
    });
  }

  CalendarItem item_;         // the calendar and file
  AppointmentRecord record_;  // the fields as they are now
  AppointmentRecord saved_;   // the fields as the file holds them (when there is one)
};

} // namespace

IDispatch *newAppointment()
{
  try {
    return new Appointment;
  } catch (...) {
    return nullptr;
  }
}

IDispatch *loadedAppointment(const std::filesystem::path &file, Component calendar)
{
  try {
    return new Appointment(file, std::move(calendar));
  } catch (...) {
    return nullptr;
  }
}
