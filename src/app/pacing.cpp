// pacing.cpp - how many show frames each present carries, and when the music
// is set to the picture.
#include "app/pacing.h"

#include <cmath>

Pacer livePacer() {
    Pacer p;
    p.maxBurst = 1 << 30;  // every missed frame, as far as int goes
    return p;
}

void startPacing(Pacer& pacer, double now) {
    pacer.start = now;
    pacer.done = 0;
}

int framesDue(Pacer& pacer, double now) {
    const double elapsed = now - pacer.start;
    if (elapsed < 0) return 0;
    const uint64_t target = static_cast<uint64_t>(std::floor(elapsed * pacer.rate + 1e-6)) + 1;
    if (target <= pacer.done) return 0;
    uint64_t due = target - pacer.done;
    if (due > static_cast<uint64_t>(pacer.maxBurst)) {
        // Behind by more than a burst (a stall, a slow machine): give up the
        // backlog rather than racing through it.
        pacer.start += static_cast<double>(due - pacer.maxBurst) / pacer.rate;
        due = static_cast<uint64_t>(pacer.maxBurst);
    }
    // A stall: far more frames due than any refresh carries (a frame that
    // took long, the process stopped and continued, wherever in the loop).
    // The picture makes them up; the music may not have played on meanwhile.
    if (static_cast<double>(due) > pacer.stallSeconds * pacer.rate) pacer.resyncDue = true;
    pacer.done += due;
    return static_cast<int>(due);
}

double secondsToNextFrame(const Pacer& pacer, double now) {
    const double due = pacer.start + static_cast<double>(pacer.done) / pacer.rate;
    return due > now ? due - now : 0.0;
}

void requestResync(Pacer& pacer) { pacer.resyncDue = true; }

bool stepTaken(Pacer& pacer, double now, bool presented) {
    if (!presented || !pacer.resyncDue) return false;
    pacer.resyncDue = false;
    // The picture just presented is the frame due now; the next one follows
    // a frame's time later, and the music plays from this picture's time.
    startPacing(pacer, now);
    pacer.done = 1;
    return true;
}
