// pacing.h - keeps the live show at 120 show frames per second whatever the
// display does, and says when the music must be set to the picture again.
// Parts of the show count frames (the landscape's sway, the finale's spin,
// the tablecloth's ticks, the traced ball), so a faster display must not
// speed them up and a 60 Hz one must not slow them down: each time the loop
// may present, it asks how many show frames are due, advances that many and
// presents only the last.
//
// Picture and music part only where one stops and the other does not: a
// load, an unseen seek, a jump, a pause, a stall (a frame far slower than a
// refresh, or the process stopped and continued). Each of those asks for a
// re-sync; the music is then set to the time of the next picture presented,
// at the moment it is presented, and the pacing starts again from that
// picture. Small drift is left alone: moving the music is heard.
#pragma once

#include <cstdint>

struct Pacer {
    double rate = 120.0;        // show frames per second
    double start = 0.0;         // seconds at which the frame in hand was due
    uint64_t done = 0;          // show frames advanced since start
    int maxBurst = 4;           // a long stall is not made up all at once
    double stallSeconds = 0.1;  // more frames due at once than this holds is a stall
    bool resyncDue = false;     // the music goes to the next picture presented
};

// The live show's pacer. The music plays on through a slow frame, however
// slow, so the picture makes up every frame it missed: advancing unseen
// costs a few hundredths of a millisecond a frame, a ten-second stall well
// under a frame's time to catch up.
Pacer livePacer();
// Starts pacing at time now (seconds), the frame in hand counted as due then.
void startPacing(Pacer& pacer, double now);
// Show frames due at time now; 0 means wait. Marks them as done. More than
// stallSeconds of frames at once asks for a re-sync.
int framesDue(Pacer& pacer, double now);
// Seconds from now until the next show frame is due (0 when one is due).
double secondsToNextFrame(const Pacer& pacer, double now);
// The picture and the music may have parted: set the music at the next present.
void requestResync(Pacer& pacer);
// A picture was presented (or, unseen, the frames were taken) at time now.
// True when the music must be set to that picture's time now; the pacing
// then starts again from that picture.
bool stepTaken(Pacer& pacer, double now, bool presented);
