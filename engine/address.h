// Reduction of an address text to its bare address.
#pragma once

#include "platform/base/types.h"

// When text holds a "<" and, after the last "<", a ">", the text becomes
// what lies between the last "<" and the last ">" after it ("John Smith
// <john.smith>" becomes "john.smith"; of several bracketed addresses the
// last stays); otherwise it is left as it is. Changes text in place and
// returns it; null gives null.
WCHAR *stripToAddress(WCHAR *text);
