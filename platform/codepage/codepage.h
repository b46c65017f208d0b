// Conversion between 8-bit code pages and UTF-16, by Windows code page number.
// Code page 0 (CP_ACP), the device's ANSI code page, is Windows-1252; a number
// that cannot be converted behaves as code page 0, and so do the UTF-16 pages
// 1200 and 1201, which no 8-bit string can hold.
#pragma once

#include "platform/base/types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

// Converts src (srcLength bytes, or up to and including its terminator when
// srcLength is -1) into dst of dstCapacity units. Returns the units written,
// the terminator included when it was part of the input; 0 when the result
// does not fit (dst's contents are then undefined) or the arguments are
// bad. With dstCapacity 0 returns the units needed and writes nothing.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char *src, int srcLength, WCHAR *dst,
                        int dstCapacity);

// The reverse: UTF-16 to the code page. Characters the code page lacks
// become defaultChar (or '?'); *usedDefaultChar tells whether that happened.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR *src, int srcLength, char *dst,
                        int dstCapacity, const char *defaultChar, BOOL *usedDefaultChar);

// True when the code page number has a converter here (0 always has).
bool isCodePageSupported(UINT codePage);
