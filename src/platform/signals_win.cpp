// signals_win.cpp - the Windows side of signals.h. Windows has no stop
// signals: Ctrl-C, Ctrl-Break and closing the console (or logging off, or
// shutting down) arrive as console control events, on a thread of their own,
// and stand for SIGINT, SIGBREAK and SIGTERM in the lines and exit codes. A
// crash arrives as an unhandled exception. The encoder child is in a job
// that ends with the program, whatever way it ends.
#include "platform/signals.h"
#include "platform/uncaught.h"

#include <io.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/win32.h"

namespace {

constexpr int kSigInt = 2, kSigTerm = 15, kSigBreak = 21;
constexpr int kSigIll = 4, kSigFpe = 8, kSigKill = 9, kSigSegv = 11, kSigAbrt = 22;
constexpr int kCleanupSlots = 8;

struct CleanupSlot {
    volatile LONG used = 0;
    wchar_t path[MAX_PATH] = {};
};

struct SignalState {
    volatile LONG received = 0;  // the first stop
    volatile LONG deferred = 0;  // loops are there to see it
    volatile LONG child = 0;     // the encoder's process id, or 0
    volatile LONG crashed = 0;   // a crash line was written
    volatile LONG errFd = 2;
    CleanupSlot slots[kCleanupSlots];
};
SignalState signalState;

void say(const char* text) {
    const int ignored = _write(signalState.errFd, text, static_cast<unsigned>(std::strlen(text)));
    (void)ignored;
}

void removeFilesAndChild() {
    SignalState& s = signalState;
    if (s.child > 0) {
        if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(s.child))) {
            TerminateProcess(h, 128 + kSigKill);
            CloseHandle(h);
        }
    }
    for (CleanupSlot& slot : s.slots)
        if (slot.used) DeleteFileW(slot.path);
}

[[noreturn]] void cleanUpAndExit(int sig, const char* why) {
    removeFilesAndChild();
    say("baubles: stopped by ");
    say(platformSignalName(sig));
    say(why);
    say("\n");
    ExitProcess(static_cast<UINT>(128 + sig));
}

// Runs on a thread Windows starts for the event. Before the loops look,
// the program ends at once; after, the stop is noted and this thread waits
// out the grace time as the watchdog, then ends it if no loop has.
BOOL WINAPI onConsoleEvent(DWORD event) {
    int sig = kSigTerm;
    if (event == CTRL_C_EVENT) sig = kSigInt;
    if (event == CTRL_BREAK_EVENT) sig = kSigBreak;
    SignalState& s = signalState;
    const bool second = InterlockedCompareExchange(&s.received, sig, 0) != 0;
    if (!s.deferred || second) cleanUpAndExit(s.received, "");
    Sleep(static_cast<DWORD>(kStopGraceSeconds * 1000));
    cleanUpAndExit(s.received, " (the step under way did not end in time)");
}

int crashSignal(DWORD code) {
    switch (code) {
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION: return kSigIll;
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INVALID_OPERATION: return kSigFpe;
        default: return kSigSegv;
    }
}

void sayCrash(int sig) {
    SignalState& s = signalState;
    removeFilesAndChild();
    if (InterlockedExchange(&s.crashed, 1) == 0) {
        say("baubles: crashed with ");
        say(platformSignalName(sig));
        say("\n");
    }
}

LONG WINAPI onCrash(EXCEPTION_POINTERS* info) {
    sayCrash(crashSignal(info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0));
    return EXCEPTION_CONTINUE_SEARCH;  // Windows' own report and exit code follow
}

void onAbort(int) {
    sayCrash(kSigAbrt);
    signal(SIGABRT, SIG_DFL);
    _exit(3);  // what abort() ends with on Windows
}

std::terminate_handler previousTerminate = nullptr;

void onTerminate() {
    const bool outOfMemory = uncaughtIsOutOfMemory();
    removeFilesAndChild();
    if (outOfMemory) {
        say("baubles: out of memory\n");
        _exit(1);
    }
    signalState.crashed = 1;
    if (previousTerminate) previousTerminate();
    std::abort();
}

}  // namespace

void platformWatchStopSignals() {
    platformOpenStandardStreams();
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    SetUnhandledExceptionFilter(onCrash);
    signal(SIGABRT, onAbort);
    if (!previousTerminate) previousTerminate = std::set_terminate(onTerminate);
}

void platformDeferStopSignals() { InterlockedExchange(&signalState.deferred, 1); }

int platformStopSignal() { return static_cast<int>(signalState.received); }

int platformRegisterCleanupPath(const char* path) {
    if (!path) return -1;
    const std::wstring wide = widen(path);
    if (wide.size() >= MAX_PATH) return -1;
    for (int i = 0; i < kCleanupSlots; ++i) {
        CleanupSlot& slot = signalState.slots[i];
        if (slot.used) continue;
        std::wmemcpy(slot.path, wide.c_str(), wide.size() + 1);
        InterlockedExchange(&slot.used, 1);  // set last: the handler never sees half a name
        return i;
    }
    return -1;
}

void platformForgetCleanupPath(int slot) {
    if (slot >= 0 && slot < kCleanupSlots) InterlockedExchange(&signalState.slots[slot].used, 0);
}

void platformRegisterCleanupChild(pid_t pid) { InterlockedExchange(&signalState.child, static_cast<LONG>(pid)); }

int platformStandardErrorFd() { return static_cast<int>(signalState.errFd); }

void platformSetStandardErrorFd(int fd) { InterlockedExchange(&signalState.errFd, fd); }

const char* platformSignalName(int sig) {
    switch (sig) {
        case kSigInt: return "SIGINT";
        case kSigIll: return "SIGILL";
        case kSigFpe: return "SIGFPE";
        case kSigKill: return "SIGKILL";
        case kSigSegv: return "SIGSEGV";
        case kSigTerm: return "SIGTERM";
        case kSigBreak: return "SIGBREAK";
        case kSigAbrt: return "SIGABRT";
        default: return "a signal";
    }
}

const char* platformSignalMeaning(int sig) {
    switch (sig) {
        case kSigSegv:
        case kSigIll:
        case kSigFpe:
        case kSigAbrt: return "it crashed";
        default: return nullptr;
    }
}
