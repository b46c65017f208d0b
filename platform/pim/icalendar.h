// Appointments and tasks as iCalendar (RFC 5545) components: the fields the
// object model's IAppointment and ITask offer, read from a VEVENT or VTODO
// and written back into it. Writing changes only the properties whose field
// changed, so what other programs wrote (time zones, attendees, their own
// properties) stays as it was.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/pim/contentline.h"
#include "platform/pim/pimtime.h"

#include <cstdint>
#include <string>
#include <string_view>

// The fields of an appointment (VEVENT).
struct AppointmentRecord {
  std::u16string subject;           // SUMMARY
  std::u16string location;          // LOCATION
  std::u16string categories;        // CATEGORIES, as "a, b"
  std::u16string body;              // DESCRIPTION, lines ended by CRLF
  DATE start = 0;                   // DTSTART, local time
  DATE end = 0;                     // DTEND (or DTSTART + DURATION), local time
  bool allDay = false;              // DTSTART and DTEND are dates
  LONG busyStatus = 2;              // olBusy; X-MICROSOFT-CDO-BUSYSTATUS and TRANSP
  LONG sensitivity = 0;             // olNormal (PUBLIC) or olPrivate (PRIVATE); CLASS
  bool reminderSet = false;         // a VALARM exists
  LONG reminderMinutes = 15;        // its TRIGGER, minutes before the start
  std::u16string reminderSoundFile; // X-QUILLMARSH-REMINDER-SOUND
  LONG reminderOptions = 0;         // X-QUILLMARSH-REMINDER-OPTIONS (olLED ... bits)
  bool recurring = false;           // an RRULE or RDATE exists
};

// The fields of a task (VTODO).
struct TaskRecord {
  std::u16string subject;            // SUMMARY
  std::u16string categories;         // CATEGORIES, as "a, b"
  std::u16string body;               // DESCRIPTION, lines ended by CRLF
  DATE startDate = POOM_NO_DATE;     // DTSTART;VALUE=DATE, local midnight
  DATE dueDate = POOM_NO_DATE;       // DUE;VALUE=DATE, local midnight
  DATE dateCompleted = POOM_NO_DATE; // COMPLETED (UTC in the file), local midnight
  LONG importance = 1;               // olImportanceNormal; PRIORITY 1 high, 5 normal, 9 low
  bool complete = false;             // STATUS:COMPLETED
  LONG sensitivity = 0;              // olNormal or olPrivate; CLASS
  bool teamTask = false;             // X-QUILLMARSH-TEAMTASK
  bool reminderSet = false;          // a VALARM exists
  DATE reminderTime = POOM_NO_DATE;  // its TRIGGER, local time
  std::u16string reminderSoundFile;  // X-QUILLMARSH-REMINDER-SOUND
  LONG reminderOptions = 0;          // X-QUILLMARSH-REMINDER-OPTIONS
  bool recurring = false;            // an RRULE or RDATE exists
};

AppointmentRecord appointmentFromEvent(const Component &vevent);
TaskRecord taskFromTodo(const Component &vtodo);

// Writes the fields of now into the component: all of them when before is
// null (a new item), else only those that differ from before. Empty texts
// remove their property. The record's values must be valid (the object
// model's put_ methods check them).
void storeAppointment(const AppointmentRecord &now, const AppointmentRecord *before, Component *vevent);
void storeTask(const TaskRecord &now, const TaskRecord *before, Component *vtodo);

// A VCALENDAR (VERSION, PRODID) holding one empty component of that name
// ("VEVENT", "VTODO") with the UID.
Component newCalendar(std::string_view componentName, const std::string &uid);

// Sets DTSTAMP and LAST-MODIFIED to the time given, and CREATED when missing.
void stampComponent(Component *item, std::int64_t nowUnixSeconds);

// The first component of that name inside the text's first VCALENDAR, with
// that calendar; false when there is none.
bool readCalendar(std::string_view text, std::string_view componentName, Component *vcalendar);

// A new unique id: a random UUID (version 4), lower case.
std::string newUid();
