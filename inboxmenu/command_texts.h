// The texts of the four commands, from the library's language resources:
// loaded once when the library is attached to a process, and compared with
// the verb the host names a command by.
#pragma once

#include "platform/base/types.h"

// Cache slots of the texts (loadString), null until loadCommandTexts.
struct CommandTexts {
  const WCHAR *createFilter = nullptr;      // "Create Filter..." (command 1)
  const WCHAR *createAppointment = nullptr; // "Create Appointment..." (command 2)
  const WCHAR *createTask = nullptr;        // "Create Task..." (command 3)
  const WCHAR *markAsKnown = nullptr;       // "Mark as Known" (command 4, sender not known)
  const WCHAR *markAsUnknown = nullptr;     // "Mark as Unknown" (command 4, sender known)
};

extern CommandTexts commandTexts;

// Chooses the library's resourceModule from its own file (the language
// module "<library path>.<language>" beside it, else the library itself)
// and loads the five texts. libraryModule is the library's handle, its
// resources registered already.
void loadCommandTexts(HMODULE libraryModule);
