// Tasks: ITask over a VTODO in <root>/PIM/Tasks.
#include "platform/pim/calendaritem.h"
#include "platform/pim/icalendar.h"
#include "platform/pim/pimobject.h"
#include "platform/pim/pimobjects.h"

namespace {

// A task's dates are days: the midnight of a valid date, or "none".
bool dayOf(DATE d, DATE *day)
{
  if (d == POOM_NO_DATE) {
    *day = d;
    return true;
  }
  CivilTime t;
  if (!dateToCivil(d, &t))
    return false;
  t.hour = t.minute = t.second = 0;
  *day = civilToDate(t);
  return true;
}

class Task : public PimObject<ITask> {
public:
  Task() : item_(newCalendarItem("VTODO")) {}

  Task(const std::filesystem::path &file, Component calendar) : item_{std::move(calendar), file}
  {
    record_ = taskFromTodo(itemComponent(item_, "VTODO"));
    saved_ = record_;
  }

  Task(const CalendarItem &item, const TaskRecord &record) : item_(item), record_(record) {}

  HRESULT QueryInterface(REFIID riid, void **ppv) override { return answer(riid, ppv, {IID_ITask}); }

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
  HRESULT get_Categories(BSTR *p) override { return returnText(record_.categories, p); }
  HRESULT get_StartDate(DATE *p) override { return returnValue(record_.startDate, p); }
  HRESULT get_DueDate(DATE *p) override { return returnValue(record_.dueDate, p); }
  HRESULT get_DateCompleted(DATE *p) override { return returnValue(record_.dateCompleted, p); }
  HRESULT get_Importance(LONG *p) override { return returnValue(record_.importance, p); }
  HRESULT get_Complete(VARIANT_BOOL *p) override { return returnValue(variantBool(record_.complete), p); }
  HRESULT get_Sensitivity(LONG *p) override { return returnValue(record_.sensitivity, p); }
  HRESULT get_TeamTask(VARIANT_BOOL *p) override { return returnValue(variantBool(record_.teamTask), p); }
  HRESULT get_Body(BSTR *p) override { return returnText(record_.body, p); }
  HRESULT get_ReminderSet(VARIANT_BOOL *p) override { return returnValue(variantBool(record_.reminderSet), p); }
  HRESULT get_ReminderSoundFile(BSTR *p) override { return returnText(record_.reminderSoundFile, p); }
  HRESULT get_ReminderTime(DATE *p) override { return returnValue(record_.reminderTime, p); }
  HRESULT get_ReminderOptions(LONG *p) override { return returnValue(record_.reminderOptions, p); }

  HRESULT put_Subject(BSTR v) override { return putText(&record_.subject, v); }
  HRESULT put_Categories(BSTR v) override { return putText(&record_.categories, v); }
  HRESULT put_StartDate(DATE st) override { return dayOf(st, &record_.startDate) ? S_OK : E_INVALIDARG; }
  HRESULT put_DueDate(DATE st) override { return dayOf(st, &record_.dueDate) ? S_OK : E_INVALIDARG; }
  HRESULT put_Importance(LONG importance) override
  {
    if (importance < olImportanceLow || importance > olImportanceHigh)
      return E_INVALIDARG;
    record_.importance = importance;
    return S_OK;
  }
  // Completing a task dates it today; reopening it drops the date.
  HRESULT put_Complete(VARIANT_BOOL completed) override
  {
    record_.complete = completed != VARIANT_FALSE;
    if (!record_.complete) {
      record_.dateCompleted = POOM_NO_DATE;
    } else if (record_.dateCompleted == POOM_NO_DATE) {
      CivilTime today = unixToLocal(nowUnix());
      today.hour = today.minute = today.second = 0;
      record_.dateCompleted = civilToDate(today);
    }
    return S_OK;
  }
  HRESULT put_Sensitivity(LONG sensitivity) override
  {
    if (sensitivity != olNormal && sensitivity != olPrivate)
      return E_INVALIDARG;
    record_.sensitivity = sensitivity;
    return S_OK;
  }
  HRESULT put_TeamTask(VARIANT_BOOL team) override
  {
    record_.teamTask = team != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_Body(BSTR v) override { return putText(&record_.body, v); }
  HRESULT put_ReminderSet(VARIANT_BOOL set) override
  {
    record_.reminderSet = set != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_ReminderSoundFile(BSTR v) override { return putText(&record_.reminderSoundFile, v); }
  HRESULT put_ReminderTime(DATE st) override
  {
    CivilTime t;
    if (st != POOM_NO_DATE && !dateToCivil(st, &t))
      return E_INVALIDARG;
    record_.reminderTime = st;
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
      storeTask(record_, item_.file.empty() ? nullptr : &saved_, &itemComponent(item_, "VTODO"));
      HRESULT hr = writeCalendarItem(&item_, PimFolder::Tasks, "VTODO");
      if (SUCCEEDED(hr))
        saved_ = record_;
      return hr;
    });
  }
  HRESULT Delete() override { return deleteCalendarItem(&item_); }
  // Recurrence is not offered, so there is no occurrence to skip.
  HRESULT SkipRecurrence() override { return E_NOTIMPL; }
  HRESULT Copy(ITask **pp) override
  {
    if (!pp)
      return E_POINTER;
    *pp = nullptr;
    return guarded([&] {
      *pp = new Task(copyCalendarItem(item_, "VTODO"), record_);
      return S_OK;
    });
  }
  HRESULT Display() override
  {
    return guarded([&] { return pimDisplay({olTaskItem, item_.file, record_.subject, this}); });
  }

private:
  static HRESULT putText(std::u16string *field, BSTR v)
  {
    return guarded([&] {
      *field = textIn(v);
      return S_OK;
    });
  }

  CalendarItem item_; // the calendar and file
  TaskRecord record_; // the fields as they are now
  TaskRecord saved_;  // the fields as the file holds them (when there is one)
};

} // namespace

IDispatch *newTask()
{
  try {
    return new Task;
  } catch (...) {
    return nullptr;
  }
}

IDispatch *loadedTask(const std::filesystem::path &file, Component calendar)
{
  try {
    return new Task(file, std::move(calendar));
  } catch (...) {
    return nullptr;
  }
}
