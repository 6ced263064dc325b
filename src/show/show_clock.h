// show_clock.h - the one clock every reader of time goes through: the
// timeline, the overlays and the physics gates. Unsigned 32-bit milliseconds
// that wrap like the system tick. Live, it reads the platform's tick; in the
// fixed-step modes (shots, recording, bench) frame i reads
// base + floor(i * 1000 / fps), so the show is the same frame for frame.
#pragma once

#include <cstdint>

using ShowTicks = uint32_t;
using TickSource = ShowTicks (*)();

struct ShowClockState {
    TickSource live = nullptr;  // installed by the platform layer
    bool fixedStep = false;
    uint32_t fps = 120;
    uint64_t frame = 0;         // fixed-step frame counter
    ShowTicks base = 0;         // fixed-step tick at frame 0
};
extern ShowClockState showClock;
template <class Visit>
void forEachField(const ShowClockState& c, Visit&& visit) {
    visit(c.live);
    visit(c.fixedStep);
    visit(c.fps);
    visit(c.frame);
    visit(c.base);
}

// The current tick (GetTickCount's role).
ShowTicks clockTicks();
// Live mode: read ticks from src.
void useLiveClock(TickSource src);
// Fixed-step mode: frame 0 reads base; each advanceFixedClock moves one frame on.
void useFixedClock(uint32_t fps, ShowTicks base = 0);
void advanceFixedClock();
