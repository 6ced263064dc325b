// signals.cpp - the signals that end the program and the clean-up they owe.
// The handlers only touch sig_atomic_t flags and fixed buffers, and call
// write, unlink, kill, sem_post, raise and _exit, which are safe inside a
// signal handler.
#include "platform/signals.h"
#include "platform/uncaught.h"

#include <limits.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "platform/files.h"
#include "platform/platform.h"

namespace {

constexpr int kCleanupSlots = 8;
// Every signal whose default action ends the process without a crash.
const int kStopSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF};
// The crashes: the files go, then the signal does what it would have done.
const int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

struct CleanupSlot {
    volatile sig_atomic_t used = 0;
    char path[PATH_MAX] = {};
};

struct SignalState {
    volatile sig_atomic_t received = 0;  // the first stop signal
    volatile sig_atomic_t deferred = 0;  // loops are there to see it
    volatile sig_atomic_t child = 0;     // the encoder's pid, or 0
    volatile sig_atomic_t crashed = 0;   // a crash line was written
    CleanupSlot slots[kCleanupSlots];
    volatile sig_atomic_t errFd = 2;  // standard error as it came in
    char limitNote[96] = {};   // "; the memory limit (ulimit -v) is N MB", or empty
    sem_t watchdog;
    bool watchdogReady = false;
};
SignalState signalState;

// Safe in a handler: the length of a C string and a write of it.
void say(const char* text) {
    const ssize_t ignored = write(signalState.errFd, text, std::strlen(text));
    (void)ignored;
}

void removeFilesAndChild() {
    SignalState& s = signalState;
    if (s.child > 0) kill(static_cast<pid_t>(s.child), SIGKILL);
    for (CleanupSlot& slot : s.slots)
        if (slot.used) unlink(slot.path);
}

void cleanUpAndExit(int sig, const char* why) {
    removeFilesAndChild();
    say("baubles: stopped by ");
    say(platformSignalName(sig));
    say(why);
    say("\n");
    _exit(128 + sig);
}

void onStopSignal(int sig) {
    SignalState& s = signalState;
    const bool second = s.received != 0;
    if (!second) s.received = sig;
    if (!s.deferred || second) cleanUpAndExit(s.received, "");
    if (s.watchdogReady) sem_post(&s.watchdog);
}

void onCrash(int sig) {
    SignalState& s = signalState;
    removeFilesAndChild();
    if (!s.crashed) {
        s.crashed = 1;
        say("baubles: crashed with ");
        say(platformSignalName(sig));
        say(s.limitNote);
        say("\n");
    }
    // The handler was reset to the default on entry: the signal does what it
    // would have done (a core dump, say).
    raise(sig);
}

// Waits for a deferred stop; a loop that has not ended the process within
// the grace time is stuck in a step that cannot look (a swap, say).
void* watchdog(void*) {
    SignalState& s = signalState;
    while (sem_wait(&s.watchdog) != 0) {
    }
    const long ns = static_cast<long>(kStopGraceSeconds * 1e9);
    timespec nap{ns / 1000000000L, ns % 1000000000L};
    while (nanosleep(&nap, &nap) != 0) {
    }
    cleanUpAndExit(s.received, " (the step under way did not end in time)");
    return nullptr;
}

std::terminate_handler previousTerminate = nullptr;

// An exception nobody caught: out of memory ends with one line and exit 1;
// anything else gets the clean-up before the runtime's own report.
void onTerminate() {
    SignalState& s = signalState;
    const bool outOfMemory = uncaughtIsOutOfMemory();
    removeFilesAndChild();
    if (outOfMemory) {
        say("baubles: out of memory");
        say(s.limitNote);
        say("\n");
        _exit(1);
    }
    s.crashed = 1;
    if (previousTerminate) previousTerminate();
    std::abort();
}

// The memory limits in force, in words, for the lines above.
void noteMemoryLimit() {
    SignalState& s = signalState;
    s.limitNote[0] = '\0';
    struct rlimit as{}, data{};
    const bool haveAs = getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY;
    const bool haveData = getrlimit(RLIMIT_DATA, &data) == 0 && data.rlim_cur != RLIM_INFINITY;
    if (haveAs)
        std::snprintf(s.limitNote, sizeof s.limitNote, "; the memory limit (ulimit -v) is %llu MB",
                      static_cast<unsigned long long>(as.rlim_cur >> 20));
    else if (haveData)
        std::snprintf(s.limitNote, sizeof s.limitNote, "; the data limit (ulimit -d) is %llu MB",
                      static_cast<unsigned long long>(data.rlim_cur >> 20));
}

}  // namespace

void platformWatchStopSignals() {
    platformOpenStandardStreams();
    noteMemoryLimit();

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

    // A crash handler someone else put there first (a sanitizer's) stays.
    struct sigaction crash;
    std::memset(&crash, 0, sizeof crash);
    crash.sa_handler = onCrash;
    sigemptyset(&crash.sa_mask);
    crash.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int sig : kCrashSignals) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL &&
            !(old.sa_flags & SA_SIGINFO))
            sigaction(sig, &crash, nullptr);
    }
    if (!previousTerminate) previousTerminate = std::set_terminate(onTerminate);

    struct sigaction ignore;
    std::memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    sigaction(SIGXFSZ, &ignore, nullptr);

    // A parent (a shell's background job, a test harness) may have left
    // some of them blocked.
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kStopSignals) sigaddset(&set, sig);
    for (int sig : kCrashSignals) sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void platformDeferStopSignals() {
    SignalState& s = signalState;
    if (!s.watchdogReady && sem_init(&s.watchdog, 0, 0) == 0) {
        // The watchdog takes no signal itself: they go to the threads that work.
        sigset_t all, old;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &old);
        pthread_t thread;
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_attr_setstacksize(&attr, 64 * 1024);
        s.watchdogReady = pthread_create(&thread, &attr, watchdog, nullptr) == 0;
        pthread_attr_destroy(&attr);
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    s.deferred = 1;
    // A signal that came between the load's end and now is seen by the loops,
    // but the watchdog was not there to hear it.
    if (s.received && s.watchdogReady) sem_post(&s.watchdog);
}

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

int platformStandardErrorFd() { return signalState.errFd; }

void platformSetStandardErrorFd(int fd) { signalState.errFd = fd; }

// A fixed table: safe inside a handler.
const char* platformSignalName(int sig) {
    switch (sig) {
        case SIGHUP: return "SIGHUP";
        case SIGINT: return "SIGINT";
        case SIGQUIT: return "SIGQUIT";
        case SIGILL: return "SIGILL";
        case SIGTRAP: return "SIGTRAP";
        case SIGABRT: return "SIGABRT";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGKILL: return "SIGKILL";
        case SIGUSR1: return "SIGUSR1";
        case SIGSEGV: return "SIGSEGV";
        case SIGUSR2: return "SIGUSR2";
        case SIGPIPE: return "SIGPIPE";
        case SIGALRM: return "SIGALRM";
        case SIGTERM: return "SIGTERM";
        case SIGXCPU: return "SIGXCPU";
        case SIGXFSZ: return "SIGXFSZ";
        case SIGVTALRM: return "SIGVTALRM";
        case SIGPROF: return "SIGPROF";
        case SIGSYS: return "SIGSYS";
        default: return "a signal";
    }
}

const char* platformSignalMeaning(int sig) {
    switch (sig) {
        case SIGXFSZ: return "the file size limit was reached";
        case SIGXCPU: return "the CPU time limit was reached";
        case SIGSEGV:
        case SIGBUS:
        case SIGILL:
        case SIGFPE:
        case SIGABRT: return "it crashed";
        default: return nullptr;
    }
}
