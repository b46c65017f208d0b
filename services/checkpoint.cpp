#include "services/checkpoint.h"

#include "services/settings.h"
#include "platform/registry/registry.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <new>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

// The highest checkpoint reached and known; -1 until "CP" was read.
std::atomic<int> checkpointCache{-1};

// How long the writer lets new highs gather before it writes the highest.
constexpr int CHECKPOINT_GATHER_MS = 100;

// "CP" is written by one thread of its own, newest number first: a fresh
// data root climbs through some thirty new highs within a few milliseconds
// of its first pass, and each write is a locked rewrite of the hive with a
// sync. The writer lets a climb gather for CHECKPOINT_GATHER_MS after a new
// high, then takes the highest number reached, so a climb costs one or two
// writes and no caller waits for the disk. Nothing reads "CP" but this file,
// so when it is written changes nothing the program decides; a crash may
// leave it below the numbers reached in the last CHECKPOINT_GATHER_MS and
// those of the write under way.
struct Writer {
  std::mutex lock;                 // guards the fields below; taken after nothing else
  std::condition_variable changed; // wanted, stored or busy changed
  int wanted = -1;                 // the highest number reached
  int stored = -1;                 // the highest number written or read
  bool busy = false;               // a write is under way
  int flushing = 0;                // callers waiting for the last number: no gathering
  pid_t owner = 0;                 // the process whose writer thread runs; 0 before the first
};

Writer &writer()
{
  static auto *w = new Writer; // outlives every caller, also at exit
  return *w;
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

// The key and the value in one batch: on a fresh data root one rewrite of
// the hive, not one for the key and one for the value.
void storeCheckpoint(int n)
{
  beginRegistryBatch();
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) == ERROR_SUCCESS) {
    auto value = static_cast<DWORD>(n);
    (void)RegSetValueExW(key, SETTING_CHECKPOINT, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                         sizeof value);
    (void)RegCloseKey(key);
  }
  // A failed write is retried by nothing: the marker is a diagnostic only.
  (void)endRegistryBatch();
}

// The writer thread: writes the highest number reached whenever it is above
// the one written last. One thread, so the writes come in increasing order.
void writeCheckpoints()
{
  Writer &w = writer();
  std::unique_lock<std::mutex> guard(w.lock);
  for (;;) {
    w.changed.wait(guard, [&] { return w.wanted > w.stored; });
    w.changed.wait_for(guard, std::chrono::milliseconds(CHECKPOINT_GATHER_MS), [&] { return w.flushing > 0; });
    int n = w.wanted;
    w.busy = true;
    guard.unlock();
    storeCheckpoint(n);
    guard.lock();
    w.stored = n;
    w.busy = false;
    w.changed.notify_all();
  }
}

// Around a fork: the writer's lock is held, so the child gets the fields
// whole; the child has no writer thread, so nothing is under way there, and
// its condition variable, which the parent's thread may have been waiting
// on, is made anew.
void lockForFork() { writer().lock.lock(); }
void unlockInParent() { writer().lock.unlock(); }
void resetInChild()
{
  Writer &w = writer();
  w.busy = false;
  w.flushing = 0; // the waiters are the parent's threads
  new (&w.changed) std::condition_variable;
  w.lock.unlock();
}

// Waits, holding the writer's lock, until the highest number reached is written.
void waitUntilWritten(std::unique_lock<std::mutex> &guard)
{
  Writer &w = writer();
  if (w.owner != getpid())
    return; // no writer in this process: nothing of its own is pending
  ++w.flushing;
  w.changed.notify_all(); // the writer stops gathering
  w.changed.wait(guard, [&] { return !w.busy && w.stored >= w.wanted; });
  --w.flushing;
}

} // namespace

void markCheckpoint(int n)
{
  // Most calls pass a number already reached: no lock, no registry.
  if (n <= checkpointCache.load(std::memory_order_acquire))
    return;
  Writer &w = writer();
  std::lock_guard<std::mutex> guard(w.lock);
  if (checkpointCache.load(std::memory_order_relaxed) < 0) {
    w.stored = storedCheckpoint();
    w.wanted = w.stored;
    checkpointCache.store(w.stored, std::memory_order_release);
  }
  if (n <= w.wanted)
    return;
  w.wanted = n;
  checkpointCache.store(n, std::memory_order_release);
  if (w.owner != getpid()) {
    // Detached: it waits for work until the process ends. The exit waits for
    // the last number first, before the registry's own state is torn down.
    // A child made by fork has no writer of its own until it reaches a new
    // high, and inherits the exit's wait.
    if (w.owner == 0) {
      std::atexit(flushCheckpoint);
      pthread_atfork(lockForFork, unlockInParent, resetInChild);
    }
    w.owner = getpid();
    std::thread(writeCheckpoints).detach();
  }
  w.changed.notify_all();
}

void flushCheckpoint()
{
  std::unique_lock<std::mutex> guard(writer().lock);
  waitUntilWritten(guard);
}

void suspendCheckpoints()
{
  std::unique_lock<std::mutex> guard(writer().lock);
  waitUntilWritten(guard);
  checkpointCache.store(std::numeric_limits<int>::max(), std::memory_order_release);
}

void forgetCheckpointCache()
{
  Writer &w = writer();
  std::unique_lock<std::mutex> guard(w.lock);
  waitUntilWritten(guard);
  w.wanted = w.stored = -1;
  checkpointCache.store(-1, std::memory_order_release);
}
