// One program per data root: an exclusive lock (flock) on the data root's
// own directory, held for the rest of the process. It holds whatever happens
// to the window channel's socket folder, creates no file, and is released by
// the system when the process ends, however it ends.
#pragma once

// What came of asking for the lock.
enum class RootLockResult {
  taken,  // this process holds it now
  busy,   // another process holds it
  failed, // the data root cannot be made or opened; errno tells why
};

// Takes the lock on the data root (made when missing) without waiting. Once
// taken it stays taken (later calls answer taken); the descriptor is not
// inherited by programs this process starts.
RootLockResult lockDataRoot();

