// The device's contacts, calendar and tasks object model, with its published
// interface and class ids, names and method order. Each interface declares
// its published methods up to the last one this system calls (later ones are
// left out; that moves no slot), so the virtual tables match the published
// ones: IPOutlookApp Logon 7, Logoff 8, CreateItem 11; IAppointment
// put_Subject 26, put_Body 35, Save 40, Display 45; ITask put_Subject 24,
// put_Body 32, Save 37, Display 41.
//
// The server behind these interfaces is platform/pim (docs/pim.md): contacts
// are read from vCard files, appointments and tasks are iCalendar files.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/dispatch.h"

// The application class.
// {05058F23-20BE-11D2-8F18-0000F87A4335}
inline constexpr CLSID CLSID_Application = {
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};

// {05058F22-20BE-11D2-8F18-0000F87A4335}
inline constexpr IID IID_IPOutlookApp = {
    0x05058F22, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
// {AF7D0DC7-3D35-424B-AA60-27A38B8B629E}
inline constexpr IID IID_IPOutlookApp2 = {
    0xAF7D0DC7, 0x3D35, 0x424B, {0xAA, 0x60, 0x27, 0xA3, 0x8B, 0x8B, 0x62, 0x9E}};
// {05058F20-20BE-11D2-8F18-0000F87A4335}
inline constexpr IID IID_IFolder = {
    0x05058F20, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
// {F06748C0-21A5-11D2-8F18-0000F87A4335}
inline constexpr IID IID_IPOutlookItemCollection = {
    0xF06748C0, 0x21A5, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
// {7F804E40-2010-11D2-8F18-0000F87A4335}
inline constexpr IID IID_IContact = {
    0x7F804E40, 0x2010, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
// {5B43F691-202C-11D2-8F18-0000F87A4335}
inline constexpr IID IID_IAppointment = {
    0x5B43F691, 0x202C, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
// {37C78CE0-202C-11D2-8F18-0000F87A4335}
inline constexpr IID IID_ITask = {
    0x37C78CE0, 0x202C, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};

// GetDefaultFolder's folders.
constexpr int olFolderCalendar = 9;
constexpr int olFolderContacts = 10;
constexpr int olFolderTasks = 13;

// CreateItem's item types.
constexpr int olAppointmentItem = 1;
constexpr int olContactItem = 2;
constexpr int olTaskItem = 3;

// An appointment's busy status.
constexpr LONG olFree = 0;
constexpr LONG olTentative = 1;
constexpr LONG olBusy = 2;
constexpr LONG olOutOfOffice = 3;

// Sensitivity of appointments and tasks.
constexpr LONG olNormal = 0;
constexpr LONG olPrivate = 2;

// A task's importance.
constexpr LONG olImportanceLow = 0;
constexpr LONG olImportanceNormal = 1;
constexpr LONG olImportanceHigh = 2;

// An appointment's meeting status.
constexpr LONG olNonMeeting = 0;

// Reminder options (bits).
constexpr LONG olLED = 1;
constexpr LONG olVibrate = 2;
constexpr LONG olDialog = 4;
constexpr LONG olSound = 8;
constexpr LONG olRepeat = 16;

struct IFolder;
struct IPOutlookItemCollection;
struct IRecurrencePattern; // recurrence is not offered here
struct IRecipients;        // meeting attendees are not offered here

// The application object: the entry to the folders and to new items.
// Folders and items can be had only between Logon and Logoff.
struct IPOutlookApp : IDispatch {
  // Opens the session; hWnd is the window that owns the object model's
  // dialogs (0 for none). Each Logon is undone by one Logoff.
  virtual HRESULT Logon(LONG hWnd) = 0;
  // Ends a Logon. E_UNEXPECTED when there is none to end.
  virtual HRESULT Logoff() = 0;
  // The object model's version text.
  virtual HRESULT get_Version(BSTR *pwszVersion) = 0;
  // The contacts (10), calendar (9) or tasks (13) folder. E_INVALIDARG for
  // another number; E_UNEXPECTED before Logon.
  virtual HRESULT GetDefaultFolder(int olFolder, IFolder **ppIFolder) = 0;
  // A new, unsaved appointment (1) or task (3), to be asked for IAppointment
  // or ITask. E_INVALIDARG for another type; E_UNEXPECTED before Logon.
  virtual HRESULT CreateItem(int olItem, IDispatch **ppPOutlookItem) = 0;
};

// The interface the program asks the application class for; its first
// methods are IPOutlookApp's.
struct IPOutlookApp2 : IPOutlookApp {};

// One of the default folders.
struct IFolder : IDispatch {
  // The folder's items as they are now, in a new collection.
  virtual HRESULT get_Items(IPOutlookItemCollection **ppolItems) = 0;
  // The type of item the folder holds (olAppointmentItem, olContactItem, olTaskItem).
  virtual HRESULT get_DefaultItemType(int *polItem) = 0;
  // The application object.
  virtual HRESULT get_Application(IPOutlookApp **polApp) = 0;
};

// The items of a folder, counted from 1.
struct IPOutlookItemCollection : IDispatch {
  // A new, unsaved item of the folder's type (E_NOTIMPL for contacts, which
  // are read only here).
  virtual HRESULT Add(IDispatch **ppolItem) = 0;
  // How many items the collection holds.
  virtual HRESULT get_Count(int *pnCount) = 0;
  // Restriction searches are not offered here: E_NOTIMPL.
  virtual HRESULT Find(BSTR pwszRestriction, IDispatch **ppItem) = 0;
  virtual HRESULT FindNext(IDispatch **ppItem) = 0;
  // Item iIndex (1 to get_Count). E_INVALIDARG outside that range.
  virtual HRESULT Item(int iIndex, IDispatch **ppolItem) = 0;
};

// A contact. Its texts come back as BSTRs for the caller to free; a field
// the contact lacks is an empty string, a date it lacks POOM_NO_DATE.
struct IContact : IDispatch {
  virtual HRESULT get_Birthday(DATE *pst) = 0;
  virtual HRESULT get_Anniversary(DATE *pst) = 0;
  virtual HRESULT get_BusinessFaxNumber(BSTR *ppwsz) = 0;
  virtual HRESULT get_CompanyName(BSTR *ppwsz) = 0;
  virtual HRESULT get_Department(BSTR *ppwsz) = 0;
  virtual HRESULT get_Email1Address(BSTR *ppwsz) = 0;
  virtual HRESULT get_MobileTelephoneNumber(BSTR *ppwsz) = 0;
  virtual HRESULT get_OfficeLocation(BSTR *ppwsz) = 0;
  virtual HRESULT get_PagerNumber(BSTR *ppwsz) = 0;
  virtual HRESULT get_BusinessTelephoneNumber(BSTR *ppwsz) = 0;
  virtual HRESULT get_JobTitle(BSTR *ppwsz) = 0;
  virtual HRESULT get_HomeTelephoneNumber(BSTR *ppwsz) = 0;
  virtual HRESULT get_Email2Address(BSTR *ppwsz) = 0;
  virtual HRESULT get_Spouse(BSTR *ppwsz) = 0;
  virtual HRESULT get_Email3Address(BSTR *ppwsz) = 0;
};

// A task. Dates are local days (their time is midnight); POOM_NO_DATE is
// "none". Changes reach the file only through Save.
struct ITask : IDispatch {
  virtual HRESULT ClearRecurrencePattern() = 0;
  virtual HRESULT GetRecurrencePattern(IRecurrencePattern **ppRecPattern) = 0;
  virtual HRESULT get_IsRecurring(VARIANT_BOOL *pfIsRecurring) = 0;
  virtual HRESULT get_Subject(BSTR *ppwsz) = 0;
  virtual HRESULT get_Categories(BSTR *ppwsz) = 0;
  virtual HRESULT get_StartDate(DATE *pst) = 0;
  virtual HRESULT get_DueDate(DATE *pst) = 0;
  virtual HRESULT get_DateCompleted(DATE *pst) = 0;
  virtual HRESULT get_Importance(LONG *pdwPriority) = 0;
  virtual HRESULT get_Complete(VARIANT_BOOL *pfCompleted) = 0;
  virtual HRESULT get_Sensitivity(LONG *plSensitivity) = 0;
  virtual HRESULT get_TeamTask(VARIANT_BOOL *pfTeamTask) = 0;
  virtual HRESULT get_Body(BSTR *ppwsz) = 0;
  virtual HRESULT get_ReminderSet(VARIANT_BOOL *pfReminderSet) = 0;
  virtual HRESULT get_ReminderSoundFile(BSTR *ppwsz) = 0;
  virtual HRESULT get_ReminderTime(DATE *pst) = 0;
  virtual HRESULT get_ReminderOptions(LONG *pdwOptions) = 0;
  virtual HRESULT put_Subject(BSTR pwsz) = 0;
  virtual HRESULT put_Categories(BSTR pwsz) = 0;
  virtual HRESULT put_StartDate(DATE st) = 0;
  virtual HRESULT put_DueDate(DATE st) = 0;
  virtual HRESULT put_Importance(LONG dwPriority) = 0;
  virtual HRESULT put_Complete(VARIANT_BOOL fCompleted) = 0;
  virtual HRESULT put_Sensitivity(LONG lSensitivity) = 0;
  virtual HRESULT put_TeamTask(VARIANT_BOOL fTeamTask) = 0;
  virtual HRESULT put_Body(BSTR pwsz) = 0;
  virtual HRESULT put_ReminderSet(VARIANT_BOOL fReminderSet) = 0;
  virtual HRESULT put_ReminderSoundFile(BSTR pwsz) = 0;
  virtual HRESULT put_ReminderTime(DATE st) = 0;
  virtual HRESULT put_ReminderOptions(LONG dwOptions) = 0;
  // Writes the task to its file (a new one for a new task).
  virtual HRESULT Save() = 0;
  // Removes the task's file.
  virtual HRESULT Delete() = 0;
  virtual HRESULT SkipRecurrence() = 0;
  // A new, unsaved task with the same fields.
  virtual HRESULT Copy(ITask **ppolCopy) = 0;
  // Shows the task (see pimSetDisplayHandler).
  virtual HRESULT Display() = 0;
};

// An appointment. Times are local; changes reach the file only through Save.
struct IAppointment : IDispatch {
  virtual HRESULT ClearRecurrencePattern() = 0;
  virtual HRESULT GetRecurrencePattern(IRecurrencePattern **ppRecPattern) = 0;
  virtual HRESULT get_IsRecurring(VARIANT_BOOL *pfIsRecurring) = 0;
  virtual HRESULT get_Subject(BSTR *ppwsz) = 0;
  virtual HRESULT get_Location(BSTR *ppwsz) = 0;
  virtual HRESULT get_Categories(BSTR *ppwsz) = 0;
  virtual HRESULT get_Start(DATE *pst) = 0;
  virtual HRESULT get_Duration(LONG *pnLen) = 0;
  virtual HRESULT get_End(DATE *pst) = 0;
  virtual HRESULT get_AllDayEvent(VARIANT_BOOL *pfAllDay) = 0;
  virtual HRESULT get_BusyStatus(LONG *pnState) = 0;
  virtual HRESULT get_Sensitivity(LONG *plSensitivity) = 0;
  virtual HRESULT get_Body(BSTR *ppwsz) = 0;
  virtual HRESULT get_Recipients(IRecipients **pRecipients) = 0;
  virtual HRESULT get_MeetingStatus(LONG *pnStatus) = 0;
  virtual HRESULT get_ReminderSet(VARIANT_BOOL *pfReminderSet) = 0;
  virtual HRESULT get_ReminderSoundFile(BSTR *ppwsz) = 0;
  virtual HRESULT get_ReminderMinutesBeforeStart(LONG *plMinutes) = 0;
  virtual HRESULT get_ReminderOptions(LONG *pdwOptions) = 0;
  virtual HRESULT put_Subject(BSTR pwsz) = 0;
  virtual HRESULT put_Location(BSTR pwsz) = 0;
  virtual HRESULT put_Categories(BSTR pwsz) = 0;
  virtual HRESULT put_Start(DATE st) = 0;
  virtual HRESULT put_Duration(LONG nLen) = 0;
  virtual HRESULT put_End(DATE st) = 0;
  virtual HRESULT put_AllDayEvent(VARIANT_BOOL fAllDay) = 0;
  virtual HRESULT put_BusyStatus(LONG nState) = 0;
  virtual HRESULT put_Sensitivity(LONG lSensitivity) = 0;
  virtual HRESULT put_Body(BSTR pwsz) = 0;
  virtual HRESULT put_ReminderSet(VARIANT_BOOL fReminderSet) = 0;
  virtual HRESULT put_ReminderSoundFile(BSTR pwsz) = 0;
  virtual HRESULT put_ReminderMinutesBeforeStart(LONG lMinutes) = 0;
  virtual HRESULT put_ReminderOptions(LONG dwOptions) = 0;
  // Writes the appointment to its file (a new one for a new appointment).
  virtual HRESULT Save() = 0;
  virtual HRESULT Send() = 0;
  // Removes the appointment's file.
  virtual HRESULT Delete() = 0;
  virtual HRESULT Cancel() = 0;
  // A new, unsaved appointment with the same fields.
  virtual HRESULT Copy(IAppointment **ppolCopy) = 0;
  // Shows the appointment (see pimSetDisplayHandler).
  virtual HRESULT Display() = 0;
};
