// Hands ui's dialog openers to the main window and the command channel
// (app/dialog_openers.h). The program calls this before start-up.
#pragma once

void installDialogOpeners();
