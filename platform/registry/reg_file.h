// The .reg export format of one hive (UTF-8):
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Tarnwell\Brindlewick]
//   "ShowTrayIcon"="TRUE"
//   "CP"=dword:0000002a
//   @="default value"
//   "Blob"=hex:01,02,03
//   "List"=hex(7):41,00,00,00,00,00
//
// docs/platform.md gives the details.
#pragma once

#include "platform/registry/hive.h"

#include <string>
#include <string_view>

// Reads a hive file whose keys lie under rootName ("HKEY_CURRENT_USER").
// Never fails: lines it cannot read (other roots, bad escapes, cut or
// garbled values) are skipped and hive.damaged is set; everything readable
// is kept. A UTF-8 or UTF-16LE byte-order mark is understood.
Hive parseRegFile(std::string_view bytes, std::u16string_view rootName);

// Writes a hive in the same format: every key in the hive's order, values in
// theirs. Reading the result back gives the same keys, values, types and
// bytes.
std::string formatRegFile(const Hive &hive, std::u16string_view rootName);

// Whether a key-path component or value name can be kept in the file
// exactly: no NUL, key components without control characters or '\' and at
// most 255 units, and no lone surrogate (which UTF-8 cannot hold).
bool validKeyName(std::u16string_view name);
bool validValueName(std::u16string_view name);
