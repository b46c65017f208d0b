// The form that IAppointment::Display and ITask::Display open when no
// display handler is set: the item's subject, its times (an appointment's
// start and end, a task's start and due dates) and its notes on the window
// system's display. OK saves what was changed through the item's own Save,
// which replaces its file atomically; Cancel changes nothing.
#pragma once

#include "platform/pim/pimstore.h"
#include "platform/pim/pimtime.h"

#include <string>
#include <string_view>

// Shows the form for the item (an IAppointment or an ITask), modal, and
// returns once it is closed: S_OK. S_FALSE when the display cannot show it
// here (headless, or not the display's thread); E_NOINTERFACE for another
// object.
HRESULT showItemForm(IDispatch *item);

// The form's texts of times: "YYYY-MM-DD HH:MM" for an appointment's,
// "YYYY-MM-DD" for a task's day, empty for a task's "no date".
std::u16string formTimeText(DATE time, bool withTime);

// Reads a typed time: "YYYY-MM-DD" or "YYYY-MM-DD HH:MM" (blanks around it
// are ignored); withTime false takes the date only. An empty text is
// POOM_NO_DATE when allowEmpty. False for anything else, or a day or time
// that does not exist.
bool parseFormTime(std::u16string_view text, bool withTime, bool allowEmpty, DATE *time);
