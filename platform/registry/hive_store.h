// The hive files under <root>/Registry/ and the lock that makes every change
// a read-modify-write that no other process or thread can interleave.
#pragma once

#include "platform/registry/hive.h"

#include <filesystem>
#include <functional>
#include <string_view>

enum class HiveId { ClassesRoot, CurrentUser, LocalMachine };

// The root key name written in the hive's file ("HKEY_CURRENT_USER").
std::u16string_view hiveRootName(HiveId id);

// <root>/Registry/classes.reg, user.reg or machine.reg.
std::filesystem::path hiveFile(HiveId id);

// The hive as its file holds it now; an empty hive when there is no file.
Hive readHive(HiveId id);

// Holds the hive's lock, reads the file, lets `change` work on the hive and,
// when it reports a change (it returns ERROR_SUCCESS and sets *changed),
// replaces the file atomically. The lock is a flock on "<file>.lock" beside
// the hive. When the file was damaged, its old bytes are kept in
// "<file>.damaged" before it is rewritten. Returns change's result, or
// ERROR_WRITE_FAULT when the lock could not be had or the file not replaced.
LONG changeHive(HiveId id, const std::function<LONG(Hive &, bool *changed)> &change);

// A batch of the calling thread's changes (nested batches count as one):
// from its first change until its end it holds the locks of every hive, and
// changeHive and readHive work on the hives in memory; the end writes each
// hive that changed once, atomically. Returns ERROR_WRITE_FAULT when a lock
// could not be had or a hive not replaced.
void beginHiveBatch();
LONG endHiveBatch();
