#include "rules/known_users_file.h"

#include "platform/codepage/codepage.h"
#include "platform/fs/files.h"
#include "rules/data_paths.h"
#include "rules/known_users_list.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool readInt32(FILE *file, LONG *value)
{
  BYTE b[4];
  if (std::fread(b, sizeof(b), 1, file) != 1)
    return false;
  *value = static_cast<LONG>(static_cast<DWORD>(b[0]) | static_cast<DWORD>(b[1]) << 8 |
                             static_cast<DWORD>(b[2]) << 16 | static_cast<DWORD>(b[3]) << 24);
  return true;
}

void writeInt32(FILE *file, LONG value)
{
  DWORD v = static_cast<DWORD>(value);
  BYTE b[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
               static_cast<BYTE>(v >> 24)};
  (void)std::fwrite(b, sizeof(b), 1, file); // errors surface through ferror
}

// The address of an entry's terminated bytes (at most
// KNOWN_USER_MAX_BYTES): UTF-8, or, when they are not UTF-8, Windows-1252 as
// earlier versions wrote them. Either way at most one unit per byte; the
// text ends at an embedded NUL.
void decodeAddress(const char *bytes, WCHAR *address)
{
  const int capacity = KNOWN_USER_MAX_BYTES + 1;
  int units = MultiByteToWideChar(CP_UTF8, 0, bytes, -1, address, capacity);
  bool ascii = std::all_of(bytes, bytes + std::strlen(bytes),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (units > 0 && ascii)
    return;
  if (units > 0) {
    // Only UTF-8 reads back as the same bytes; a bad sequence became U+FFFD.
    char again[4 * (KNOWN_USER_MAX_BYTES + 1)];
    int n = WideCharToMultiByte(CP_UTF8, 0, address, -1, again, sizeof again, nullptr, nullptr);
    if (n > 0 && std::strcmp(again, bytes) == 0)
      return;
  }
  if (MultiByteToWideChar(CP_ACP, 0, bytes, -1, address, capacity) == 0)
    address[0] = 0;
}

// How reading an entry ended.
enum class EntryRead { Read, End, Damaged };

// Reads one entry (see loadKnownUsers).
EntryRead readEntry(FILE *file)
{
  BYTE lengthBytes[2];
  std::size_t got = std::fread(lengthBytes, 1, sizeof(lengthBytes), file);
  if (got != sizeof(lengthBytes))
    return got == 0 ? EntryRead::End : EntryRead::Damaged;
  auto n = static_cast<std::int16_t>(lengthBytes[0] | lengthBytes[1] << 8);
  if (n < 0 || n > KNOWN_USER_MAX_BYTES)
    return EntryRead::Damaged; // nothing after it can be trusted
  char bytes[KNOWN_USER_MAX_BYTES + 1];
  if (std::fread(bytes, 1, static_cast<std::size_t>(n), file) != static_cast<std::size_t>(n))
    return EntryRead::Damaged;
  bytes[n] = 0;
  WCHAR address[KNOWN_USER_MAX_BYTES + 1];
  decodeAddress(bytes, address);
  LONG level = 0;
  bool whole = readInt32(file, &level); // a cut level leaves 0 and the entry counts
  appendLoadedKnownUser(address, level);
  return whole ? EntryRead::Read : EntryRead::Damaged;
}

// The known-users file was damaged when read: before it is replaced, it is kept.
bool knownUsersFileDamaged = false;

// The bytes of an address on file: its UTF-8 form, cut to whole characters
// within KNOWN_USER_MAX_BYTES (the list's addresses fit already).
std::string fileBytes(const WCHAR *address)
{
  int n = WideCharToMultiByte(CP_UTF8, 0, address, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1)
    return std::string();
  std::string bytes(static_cast<std::size_t>(n), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, address, -1, bytes.data(), n, nullptr, nullptr) != n)
    return std::string();
  bytes.resize(static_cast<std::size_t>(n - 1));
  if (bytes.size() > static_cast<std::size_t>(KNOWN_USER_MAX_BYTES)) {
    std::size_t cut = KNOWN_USER_MAX_BYTES;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
      --cut; // not inside a character
    bytes.resize(cut);
  }
  return bytes;
}

} // namespace

bool loadKnownUsers(FILE *file, bool withCount)
{
  CriticalSectionGuard guard(&knownUsersLock);
  clearKnownUsers();
  LONG remaining = -1;
  if (withCount)
    (void)readInt32(file, &remaining); // a cut count: the end of the file ends the block
  for (std::size_t read = 0; !std::feof(file) && remaining != 0; ++read) {
    if (read == MAX_KNOWN_USERS_READ) {
      int c = std::fgetc(file);
      if (c == EOF)
        return true;
      std::ungetc(c, file);
      return false;
    }
    EntryRead entry = readEntry(file);
    if (entry != EntryRead::Read)
      return entry == EntryRead::End;
    if (remaining > 0)
      --remaining;
  }
  return true;
}

void saveKnownUsers(FILE *file, bool withCount)
{
  CriticalSectionGuard guard(&knownUsersLock);
  if (withCount)
    writeInt32(file, static_cast<LONG>(countKnownUsers()));
  for (const KnownUser *user = knownUsers; user; user = user->next) {
    std::string bytes = fileBytes(user->address);
    BYTE length[2] = {static_cast<BYTE>(bytes.size()), 0};
    (void)std::fwrite(length, sizeof(length), 1, file); // errors surface through ferror
    (void)std::fwrite(bytes.data(), 1, bytes.size(), file);
    writeInt32(file, user->level);
  }
}

void loadKnownUsersFile()
{
  removeStaleDeviceTemporaries(KNOWN_USERS_FILE_PATH);
  FILE *file = _wfopen(KNOWN_USERS_FILE_PATH, u"rb");
  if (!file)
    return;
  knownUsersFileDamaged = !loadKnownUsers(file, false);
  std::fclose(file);
}

bool saveKnownUsersFile(bool force)
{
  {
    CriticalSectionGuard guard(&knownUsersLock);
    if (!knownUsersDirty && !force)
      return true;
  }
  (void)CreateDirectoryW(DATA_FOLDER_PATH, nullptr); // it usually exists already
  AtomicFile af;
  bool written = atomicOpenDevice(&af, KNOWN_USERS_FILE_PATH);
  if (written) {
    {
      // Cleared with the snapshot taken: a change after it sets it again.
      CriticalSectionGuard guard(&knownUsersLock);
      knownUsersDirty = 0;
      saveKnownUsers(af.file, false);
    }
    // What could not be read is not lost with the replacement.
    if (knownUsersFileDamaged && !keepDamagedDeviceFile(KNOWN_USERS_FILE_PATH)) {
      atomicAbort(&af);
      written = false;
    } else {
      written = atomicCommit(&af);
    }
  }
  if (written)
    knownUsersFileDamaged = false;
  if (!written) {
    CriticalSectionGuard guard(&knownUsersLock);
    knownUsersDirty = 1;
  }
  return written;
}
