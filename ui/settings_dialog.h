// The About/settings dialog (template 105).
#pragma once

#include "platform/base/types.h"

// Opens the About/settings dialog, modal, owned by owner; it ends with 0,
// -1 when it cannot be shown. The dialog is not built yet: it reports -1,
// which its caller ignores, as it ignores every result of this dialog.
INT_PTR openSettingsDialog(HWND owner);
