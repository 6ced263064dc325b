// signals.cpp - stop signals and the clean-up they owe. The handler only
// touches sig_atomic_t flags and fixed buffers, and calls unlink, kill and
// _exit, which are safe inside a signal handler.
#include "platform/signals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr int kCleanupSlots = 8;
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

struct CleanupSlot {
    volatile sig_atomic_t used = 0;
    char path[PATH_MAX] = {};
};

struct SignalState {
    volatile sig_atomic_t received = 0;  // the first stop signal
    volatile sig_atomic_t deferred = 0;  // loops are there to see it
    volatile sig_atomic_t child = 0;     // the encoder's pid, or 0
    CleanupSlot slots[kCleanupSlots];
};
SignalState signalState;

void cleanUpAndExit(int sig) {
    SignalState& s = signalState;
    if (s.child > 0) kill(static_cast<pid_t>(s.child), SIGKILL);
    for (CleanupSlot& slot : s.slots)
        if (slot.used) unlink(slot.path);
    _exit(128 + sig);
}

void onStopSignal(int sig) {
    SignalState& s = signalState;
    const bool second = s.received != 0;
    if (!second) s.received = sig;
    if (!s.deferred || second) cleanUpAndExit(s.received);
}

}  // namespace

void platformWatchStopSignals() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : kStopSignals) sigaddset(&action.sa_mask, sig);
    // No SA_RESTART: a wait on a pipe or a child wakes up to look at the flag.
    action.sa_flags = 0;
    for (int sig : kStopSignals) {
        // A signal ignored on the way in stays ignored: nohup's hang-up, or
        // Ctrl-C for a shell's background job.
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }

    struct sigaction ignore;
    std::memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);

    // A parent (a shell's background job, a test harness) may have left
    // some of them blocked.
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kStopSignals) sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void platformDeferStopSignals() { signalState.deferred = 1; }

int platformStopSignal() { return signalState.received; }

int platformRegisterCleanupPath(const char* path) {
    if (!path || std::strlen(path) >= PATH_MAX) return -1;
    for (int i = 0; i < kCleanupSlots; ++i) {
        CleanupSlot& slot = signalState.slots[i];
        if (slot.used) continue;
        std::strcpy(slot.path, path);
        slot.used = 1;  // set last, so the handler never sees half a name
        return i;
    }
    return -1;
}

void platformForgetCleanupPath(int slot) {
    if (slot >= 0 && slot < kCleanupSlots) signalState.slots[slot].used = 0;
}

void platformRegisterCleanupChild(pid_t pid) { signalState.child = static_cast<sig_atomic_t>(pid); }
