#include "services/checkpoint.h"

#include "services/settings.h"
#include "platform/registry/registry.h"

#include <atomic>
#include <limits>
#include <mutex>

namespace {

// The highest checkpoint known to be stored; -1 until "CP" was read.
std::atomic<int> checkpointCache{-1};

// Serialises the reading and writing of "CP", so a smaller number is never
// written after a larger one.
std::mutex &checkpointLock()
{
  static auto *lock = new std::mutex;
  return *lock;
}

// "CP" as stored, or -1 when it is missing or not a 32-bit number.
int storedCheckpoint()
{
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return -1;
  DWORD type = REG_NONE, value = 0, size = sizeof value;
  LONG rc = RegQueryValueExW(key, SETTING_CHECKPOINT, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
  (void)RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
    return -1;
  return static_cast<int>(value);
}

void storeCheckpoint(int n)
{
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  auto value = static_cast<DWORD>(n);
  // A failed write is retried by nothing: the marker is a diagnostic only.
  (void)RegSetValueExW(key, SETTING_CHECKPOINT, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
  (void)RegCloseKey(key);
}

} // namespace

void markCheckpoint(int n)
{
  // Most calls pass a number already stored: no lock, no registry.
  if (n <= checkpointCache.load(std::memory_order_acquire))
    return;
  std::lock_guard<std::mutex> guard(checkpointLock());
  int cached = checkpointCache.load(std::memory_order_relaxed);
  if (cached < 0) {
    cached = storedCheckpoint();
    checkpointCache.store(cached, std::memory_order_release);
  }
  if (n <= cached)
    return;
  checkpointCache.store(n, std::memory_order_release);
  storeCheckpoint(n);
}

void suspendCheckpoints()
{
  std::lock_guard<std::mutex> guard(checkpointLock());
  checkpointCache.store(std::numeric_limits<int>::max(), std::memory_order_release);
}

void forgetCheckpointCache()
{
  std::lock_guard<std::mutex> guard(checkpointLock());
  checkpointCache.store(-1, std::memory_order_release);
}
