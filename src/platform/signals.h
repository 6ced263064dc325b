// signals.h - the four stop signals (SIGINT, SIGTERM, SIGHUP, SIGQUIT) and
// what must go when the program ends on one: private output files that were
// never finished and the encoder child.
//
// Until platformDeferStopSignals is called (during the start-up load, when no
// loop is there to ask), a stop signal ends the process at once: the
// registered files are removed, the registered child is killed, and the exit
// code is 128 + the signal. After it, a stop signal is only noted, and every
// frame loop asks platformStopSignal, so it can close its outputs in order. A
// second signal while the first is still being handled ends at once again.
#pragma once

#include <sys/types.h>

// Installs the handlers and ignores SIGPIPE (a dead child is a failed write).
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
