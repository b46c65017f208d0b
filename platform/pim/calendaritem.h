// What an appointment and a task object share: the calendar file they live
// in, and saving, deleting and copying it.
#pragma once

#include "platform/pim/contentline.h"
#include "platform/pim/pimfiles.h"
#include "platform/com/unknown.h"

#include <filesystem>
#include <new>
#include <string_view>

// An appointment's or task's calendar and file.
struct CalendarItem {
  Component calendar;         // the VCALENDAR holding the item (first child of its kind)
  std::filesystem::path file; // its .ics file; empty until first saved (or after Delete)
};

// A new item's calendar: one component of that name ("VEVENT", "VTODO")
// with a new UID, not yet in a file.
CalendarItem newCalendarItem(std::string_view componentName);

// The item's component inside its calendar.
Component &itemComponent(CalendarItem &item, std::string_view componentName);

// Stamps the component and writes the calendar atomically to its file, or
// for a new item to <folder>/<UID>.ics. S_OK, or E_FAIL when the file cannot
// be written (the old file, if any, is left as it was).
HRESULT writeCalendarItem(CalendarItem *item, PimFolder folder, std::string_view componentName);

// Removes the item's file; the item is new again. S_OK, also for an item
// never saved; E_FAIL when the file cannot be removed.
HRESULT deleteCalendarItem(CalendarItem *item);

// A new, unsaved item with the same properties, a new UID and no other
// components of its kind (recurrence exceptions stay with the original).
CalendarItem copyCalendarItem(const CalendarItem &item, std::string_view componentName);

// Runs a method body, turning exceptions into results: an exception never
// crosses the interface.
template <class Body>
HRESULT guarded(Body body)
{
  try {
    return body();
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}
