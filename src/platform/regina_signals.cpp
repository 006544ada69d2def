#include "platform/regina_signals.h"

#define INCL_REXXSAA
#include <rexxsaa.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>

namespace cedar {

namespace {

extern "C" void onReginaHalt(int) {
    // Runs on the thread the signal was sent to: its program halts at its
    // next clause (or its HALT trap runs).
    RexxSetHalt(getpid(), 0);
}

}  // namespace

void installReginaHaltSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = onReginaHalt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGUSR2, &action, nullptr);
    });
}

void sendReginaHalt(pthread_t thread) {
    pthread_kill(thread, SIGUSR2);
}

void haltOwnReginaProgram() {
    RexxSetHalt(getpid(), 0);
}

namespace {

std::recursive_mutex& startMutex() {
    static std::recursive_mutex m;
    return m;
}

}  // namespace

ProcessSignalKeeper::ProcessSignalKeeper() {
    startMutex().lock();
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], nullptr, &saved_[i]);
}

void ProcessSignalKeeper::restore() {
    if (restored_) return;
    restored_ = true;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &saved_[i], nullptr);
    startMutex().unlock();
}

}  // namespace cedar
