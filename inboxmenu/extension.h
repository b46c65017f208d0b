// The extension object: what the Inbox gets from the class factory when it
// builds a menu of its message list. It adds the "Sorrelby" popup with the
// four commands and sends a chosen command, with the selected message's
// entry id, to the running program's main window.
#pragma once

#include "platform/com/unknown.h"

// A new extension object of that kind (0 context menu, 1 softkey menu) with
// one reference, counted in moduleLockCount until its last Release; null
// when memory runs out.
IUnknown *createInboxMenuExtension(LONG kind);
