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

}  // namespace cedar
