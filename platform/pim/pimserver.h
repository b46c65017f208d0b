// The contacts, calendar and tasks server: how a program makes it available
// and how the items it shows reach a display.
//
// The server lives in the platform library, not in a module of its own, so
// it is offered through the process's class table: pimRegisterServer puts
// its class factory there under CLSID_Application, and from then on
//   CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
//                    IID_IPOutlookApp2, &app)
// creates the application object, on any thread that has initialised COM.
// Registration needs no CoInitializeEx of its own (docs/pim.md).
#pragma once

#include "platform/pim/pimstore.h"

#include <filesystem>
#include <string>

// Registers the application class in the class table. S_OK; CO_E_OBJISREG
// when it is registered already (which is harmless). *cookie, when cookie
// is not null, gets what pimRevokeServer takes.
HRESULT pimRegisterServer(DWORD *cookie);

// Takes the class out of the table again (CoRevokeClassObject).
HRESULT pimRevokeServer(DWORD cookie);

// The server's class object in the shape of a module's "DllGetClassObject":
// CLSID_Application's class factory asked for riid; CLASS_E_CLASSNOTAVAILABLE
// for another class.
HRESULT pimGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv);

// What IAppointment::Display and ITask::Display ask to have shown.
struct PimDisplayRequest {
  int itemType;               // olAppointmentItem or olTaskItem
  std::filesystem::path file; // the item's iCalendar file; empty when never saved
  std::u16string subject;     // the item's subject
  IDispatch *item;            // the item itself, for the duration of the call
};

// Shows an item; its result is Display's result.
using PimDisplayHandler = HRESULT (*)(const PimDisplayRequest &request, void *context);

// Sets who shows items (null: the built-in form). Without a handler,
// Display opens the item's form on the window system's display
// (platform/pim/item_form.h); where that cannot be shown (headless) it
// shows nothing and answers S_FALSE.
void pimSetDisplayHandler(PimDisplayHandler handler, void *context);
