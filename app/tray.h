// The tray icon that stands for the hidden program; activating it opens the
// rules list.
#pragma once

#include "platform/base/types.h"

// Loads the program icon for the tray record (start-up, before addTrayIcon).
void loadTrayIcon(HINSTANCE programModule);

// Fills the tray record for `window` and adds the icon to the tray.
void addTrayIcon(HWND window);

// Removes the icon the record describes; harmless when it was never added.
void removeTrayIcon();
