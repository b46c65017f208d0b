// Every start adds the e-mail addresses of the device's contacts to the known
// users, through the contacts application's object model.
#pragma once

// Initialises COM, creates the contacts application object into
// pimApplication (kept for the appointment and task commands), and adds the
// first, second and third e-mail address of every contact, when not empty,
// as known users. Any failure ends the import quietly; pimApplication is
// null when the application object could not be had.
void importContacts();

// Releases pimApplication and ends this thread's use of COM (program end).
void releaseContactsApplication();
