// show_clock.cpp - live or fixed-step milliseconds.
#include "show/show_clock.h"

ShowClockState showClock;

ShowTicks clockTicks() {
    if (showClock.fixedStep || !showClock.live)
        return showClock.base + static_cast<ShowTicks>(showClock.frame * 1000u / showClock.fps);
    return showClock.live();
}

void useLiveClock(TickSource src) {
    showClock = ShowClockState();
    showClock.live = src;
}

void useFixedClock(uint32_t fps, ShowTicks base) {
    showClock = ShowClockState();
    showClock.fixedStep = true;
    showClock.fps = fps ? fps : 1;
    showClock.base = base;
}

void advanceFixedClock() { ++showClock.frame; }
