// One hive in memory: its keys with their values, as read from and written to
// its .reg file.
#pragma once

#include "platform/base/types.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

struct RegValue {
  std::u16string name;     // value name; empty for the default value
  DWORD type = 0;          // REG_SZ, REG_DWORD ...
  std::vector<BYTE> data;  // the bytes as stored
};

struct RegKey {
  std::u16string path;          // below the hive's root, components joined by '\', as first created
  std::vector<RegValue> values; // in the order they were first set
};

struct Hive {
  std::map<std::u16string, RegKey> keys; // by folded path; the root is "" and always present
  bool damaged = false;                  // the file had lines that could not be read
};

// The form of a key path used for lookups: lower case, unit by unit.
std::u16string foldPath(std::u16string_view path);

// An empty hive: only its root key.
Hive emptyHive();

// The key at path, or null.
RegKey *findKey(Hive &hive, std::u16string_view path);
const RegKey *findKey(const Hive &hive, std::u16string_view path);

// The key at path, created with every missing key above it. *created tells
// whether the key itself was new.
RegKey &ensureKey(Hive &hive, std::u16string_view path, bool *created);

// Removes the key at path with everything below it. False when it is not
// there. The root cannot be removed.
bool deleteKeyTree(Hive &hive, std::u16string_view path);

// The names of the direct subkeys of path, in the hive's order.
std::vector<std::u16string> subkeyNames(const Hive &hive, std::u16string_view path);

// The value of that name (case ignored), or null.
RegValue *findValue(RegKey &key, std::u16string_view name);

// Sets a value, keeping its place when it exists. True when anything changed.
bool setValue(RegKey &key, std::u16string_view name, DWORD type, std::vector<BYTE> data);

// Removes a value. False when it is not there.
bool deleteValue(RegKey &key, std::u16string_view name);
