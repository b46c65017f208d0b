// The server's object constructors, for one another. Each returns a new
// object holding one reference for the caller, or null when memory runs out.
#pragma once

#include "platform/pim/contentline.h"
#include "platform/pim/pimserver.h"
#include "platform/pim/pimstore.h"
#include "platform/pim/vcard.h"

#include <filesystem>

IPOutlookApp2 *newApplication();

// A default folder (olFolderContacts, olFolderCalendar or olFolderTasks);
// the folder keeps a reference to app.
IFolder *newFolder(IPOutlookApp *app, int olFolder);

// The folder's items as they are in its files now.
IPOutlookItemCollection *newItemCollection(int olFolder);

IDispatch *newContact(const ContactRecord &record);

// A new, unsaved appointment or task.
IDispatch *newAppointment();
IDispatch *newTask();

// An appointment or task read from its file: the VCALENDAR holding it.
IDispatch *loadedAppointment(const std::filesystem::path &file, Component calendar);
IDispatch *loadedTask(const std::filesystem::path &file, Component calendar);

// Hands a request to the display handler, or without one to the item form.
HRESULT pimDisplay(const PimDisplayRequest &request);
