// Lines for standard error (a warning, a report) from the platform's
// services below the window system, on any thread. They go to standard
// error at once, unless the window system's display has taken them over: the
// terminal display holds them while its screen is shown, so that they never
// draw over it, and writes them when the screen is left (docs/window.md).
#pragma once

#include <string>

// Writes the line (a newline is added when it has none), or hands it to the
// sink when one is set.
void writeErrorLine(std::string line);

// Where the lines go instead of standard error; null: standard error. The
// window system sets it when it chooses its display.
using ErrorLineSink = void (*)(const std::string &line);
void setErrorLineSink(ErrorLineSink sink);
