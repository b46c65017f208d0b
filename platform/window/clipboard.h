// Registered clipboard formats: numbers for data formats named by text, so
// that a data object and its callers agree on a format without sharing code.
#pragma once

#include "platform/base/types.h"

// The number of the format named lpszFormat (compared without regard to
// case), in the range 0xC000 to 0xFFFF; 0 for a null or empty name.
//
// The number follows from the name alone, the same in every process and in
// every copy of this library (a shared object that links its own copy gets
// the same number as the program that loads it): a hash of the lower-cased
// name. Two different names could therefore share a number; the platform
// names few formats, and a data object compares the number it was asked
// for with its own.
UINT RegisterClipboardFormatW(LPCWSTR lpszFormat);
