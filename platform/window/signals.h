// The termination signals: SIGTERM and SIGINT end the program through its
// message loop, so that it shuts down in its normal order.
#pragma once

#include "platform/base/types.h"

// From now on SIGTERM and SIGINT ask the calling thread's message loop to
// end, as PostQuitMessage(0) would: GetMessageW returns 0 with WM_QUIT once
// the messages posted before it are taken. A second signal is not caught
// again and ends the process at once, for a shutdown that hangs. FALSE when
// the signals could not be caught.
BOOL postQuitOnTermination();

// True once a termination signal came after postQuitOnTermination, from any
// thread: long work looks at it between steps, so that the quit request is
// not left waiting behind it.
bool terminationRequested();
