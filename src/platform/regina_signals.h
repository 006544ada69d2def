// Halting a REXX program on another thread. The interpreter's halt request
// acts on the calling thread's program only, so the request is carried to
// the task thread by a signal whose handler makes it there.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <array>

namespace cedar {

// Installs the handler once per process (any thread may call it).
void installReginaHaltSignal();
// Asks the program running on `thread` to halt at its next clause.
void sendReginaHalt(pthread_t thread);
// Asks the program running on the calling thread to halt at its next clause.
void haltOwnReginaProgram();

// The interpreter sets handlers of its own for SIGHUP, SIGINT and SIGTERM
// when a thread first calls it and when a program starts, and leaves them
// there: the process's Break key and
// its ending would then go to it. A keeper saves the process's handlers
// before such a call and puts them back once the program has started (or
// the call has returned); starts on other threads wait meanwhile, so none of them
// can save the interpreter's handlers as the process's.
class ProcessSignalKeeper {
  public:
    ProcessSignalKeeper();
    ~ProcessSignalKeeper() { restore(); }
    ProcessSignalKeeper(const ProcessSignalKeeper&) = delete;
    ProcessSignalKeeper& operator=(const ProcessSignalKeeper&) = delete;
    // Puts the saved handlers back (the first call only).
    void restore();

  private:
    static constexpr std::array<int, 3> kSignals{SIGHUP, SIGINT, SIGTERM};
    std::array<struct sigaction, kSignals.size()> saved_{};
    bool restored_ = false;
};

}  // namespace cedar
