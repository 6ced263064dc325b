// signals.h - the signals that end the program, and what must go when it
// ends on one: private output files that were never finished and the
// encoder child.
//
// Stop signals are every signal whose default action ends the process
// quietly: SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
// SIGVTALRM and SIGPROF. Until platformDeferStopSignals is called (during the
// start-up load, when no loop is there to ask), a stop signal ends the
// process at once: the registered files are removed, the registered child is
// killed, one line says which signal, and the exit code is 128 + the signal.
// After it, a stop signal is only noted, and every frame loop asks
// platformStopSignal, so it can close its outputs in order; a step that
// cannot see it in time (a swap of a huge window, say) is cut short by a
// watchdog kStopGraceSeconds later, which ends the process the same way. A
// second signal while the first is still being handled ends at once again.
//
// SIGPIPE and SIGXFSZ are ignored: a dead child is a failed write, and a
// write past the file size limit (ulimit -f) fails with EFBIG, reported as
// such. A crash (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT) removes the
// private files and kills the child too, says so in one line, and then ends
// the process as the signal would. An exception nobody catches ends it the
// same way; std::bad_alloc, out of memory, ends it with exit code 1.
#pragma once

#include <sys/types.h>

// A stop that a loop has not acted on within this long ends the process.
constexpr double kStopGraceSeconds = 0.35;

// Installs the handlers and ignores SIGPIPE and SIGXFSZ.
void platformWatchStopSignals();
// From now on a stop signal is noted for the loops to see.
void platformDeferStopSignals();
// The stop signal received, or 0.
int platformStopSignal();

// Removes path if the process ends on a signal; a slot to forget it by, or -1
// when the registry is full.
int platformRegisterCleanupPath(const char* path);
void platformForgetCleanupPath(int slot);
// Kills pid if the process ends on a signal; 0 forgets it.
void platformRegisterCleanupChild(pid_t pid);
// Where the program's own messages go: standard error as it came in, even
// while descriptor 2 holds a library's chatter back for a moment
// (platformSetStandardErrorFd says where it is meanwhile).
int platformStandardErrorFd();
void platformSetStandardErrorFd(int fd);
// What a signal means for the one it ended, where that is worth a word
// ("the file size limit was reached" for SIGXFSZ), or null.
const char* platformSignalMeaning(int sig);
