// Halting a REXX program on another thread. The interpreter's halt request
// acts on the calling thread's program only, so the request is carried to
// the task thread by a signal whose handler makes it there.
#pragma once

#include <pthread.h>

namespace cedar {

// Installs the handler once per process (any thread may call it).
void installReginaHaltSignal();
// Asks the program running on `thread` to halt at its next clause.
void sendReginaHalt(pthread_t thread);
// Asks the program running on the calling thread to halt at its next clause.
void haltOwnReginaProgram();

}  // namespace cedar
