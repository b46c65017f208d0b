// The checkpoint marker: the highest numbered point (1 to 78) that execution
// has ever reached, kept in the registry value "CP" across runs.
#pragma once

// Records that execution reached checkpoint n. The first call reads "CP"
// from the settings key (missing or unreadable counts as -1); "CP" is
// rewritten only when n is greater than every number recorded so far, so the
// stored value only grows. The write is left to a thread of its own, which
// writes the highest number reached whenever it is free: a caller never waits
// for it. Safe to call from several threads at once: a smaller number is
// never written over a larger one.
void markCheckpoint(int n);

// Returns once the highest number reached so far is written (or its write
// failed). Runs by itself when the process exits; a test calls it before it
// reads "CP" or takes its data root away.
void flushCheckpoint();

// From now on markCheckpoint records nothing in this process. For the tools
// that run the program's code beside it: the marker is the program's.
void suspendCheckpoints();

// Writes what is pending, then forgets the cached highest checkpoint, as at
// program start, so the next call reads "CP" again. For tests that stand for
// a new run of the program.
void forgetCheckpointCache();
