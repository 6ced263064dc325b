// pacing.h - keeps the live show at 120 show frames per second whatever the
// display does. Parts of the show count frames (the landscape's sway, the
// finale's spin, the tablecloth's ticks, the traced ball), so a faster
// display must not speed them up and a 60 Hz one must not slow them down:
// each time the loop may present, it asks how many show frames are due,
// renders that many and presents only the last.
#pragma once

#include <cstdint>

struct Pacer {
    double rate = 120.0;    // show frames per second
    double start = 0.0;     // seconds at which frame 0 was due
    uint64_t done = 0;      // show frames rendered so far
    int maxBurst = 4;       // a long stall is not made up all at once
};

// The live show's pacer. The music plays on through a slow frame, however
// slow, so the picture makes up every frame it missed: advancing unseen
// costs a few hundredths of a millisecond a frame, a ten-second stall well
// under a frame's time to catch up.
Pacer livePacer();
// Starts pacing at time now (seconds).
void startPacing(Pacer& pacer, double now);
// Show frames due at time now; 0 means wait. Marks them as done.
int framesDue(Pacer& pacer, double now);
// Seconds from now until the next show frame is due (0 when one is due).
double secondsToNextFrame(const Pacer& pacer, double now);
