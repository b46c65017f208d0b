// What the program says on standard error when it starts, so that a person
// (or a service manager's journal) sees what it works on and how to stop it.
#pragma once

// One line: the data root, the stores it watches, the number of rules (and
// whether they are the defaults), whether the decision log is on, and how to
// stop it. Call after the session is open.
void reportStart(bool defaultRules);

// What a second start got from the instance that runs.
enum class HandOver {
  Unreachable,  // its window cannot be reached
  Asked,        // asked to show its rules list (where it shows things)
  ShownHere,    // its rules list was shown on this terminal, and hidden again
  ShownThere,   // it has a terminal of its own and shows its rules list there
  OpenElsewhere, // its rules list is open on another terminal already
  NotHere,      // it could not show its rules list on this terminal
};

// One line: another instance runs on this data root, and what became of the
// request to show its rules list; this one ends.
void reportAlreadyRunning(HandOver what);

// One line: the data root cannot be made or opened (error: an errno value);
// the program ends.
void reportRootUnusable(int error);

// One line: the program's main window cannot be made, so it cannot run; it
// ends having written nothing.
void reportNoMainWindow();
