// What the program says on standard error when it starts, so that a person
// (or a service manager's journal) sees what it works on and how to stop it.
#pragma once

// One line: the data root, the stores it watches, the number of rules (and
// whether they are the defaults), whether the decision log is on, and how to
// stop it. Call after the session is open.
void reportStart(bool defaultRules);

// One line: another instance runs on this data root and was asked to show
// its rules list (asked), or its window cannot be reached; this one ends.
void reportAlreadyRunning(bool asked);

// One line: the data root cannot be made or opened (error: an errno value);
// the program ends.
void reportRootUnusable(int error);
