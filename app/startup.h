// The program's life: start-up, the message loop, shutdown.
#pragma once

#include "platform/base/types.h"

// Runs the program for the given program module and returns its exit code:
// 1 when another instance runs already (it is asked to show its rules list
// and nothing else is touched), when the data root cannot be used, or when
// the main window cannot be made (nothing is written); else 0 once the
// message loop has ended and everything changed is saved.
int brindlewickMain(HINSTANCE programModule);
