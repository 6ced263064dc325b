// show_state.h - everything that advancing the show moves, saved and put back
// whole, and the player that moves the show to any frame with it.
//
// The show is deterministic: the same frames advanced from the end of the
// start-up load always reach the same state. So a jump backwards restores a
// saved state and advances on from there without drawing. States are saved
// at the end of the load and every ten seconds of show as frames are first
// advanced past them, so a jump never advances more than ten seconds.
//
// Glossary:
//   show frame  frame i reads floor(i * 1000 / 120) ms on the show clock;
//               showClock.frame is the next one to advance
//   snapshot    the state just before a show frame is advanced
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "show/show_clock.h"
#include "app/timeline.h"
#include "image/traced_ball.h"
#include "landscape/landscape.h"
#include "math/random.h"
#include "math/vec3.h"
#include "physics/drivers.h"
#include "physics/model.h"
#include "physics/simulation.h"

// Show frames a second in every mode.
constexpr uint32_t kShowRate = 120;

struct ShowSnapshot {
    ShowClockState clock;
    TimelineState timeline;
    ShowFlags flags;
    DriverState drivers;
    PhysicsState physics;
    RandomState random;
    TracedBallState ball, ballShown;
    LandscapeMotion valley;
    std::vector<Vec3> spherePlaces;  // frameStart, frameEnd of every sphere
    std::vector<Particle> particles; // every record of every body, in list order
    std::vector<Spring> springs;
    std::vector<Collider> colliders;
};

// Copies the show's advancing state into s.
void saveShowState(ShowSnapshot& s);
// Puts a saved state back. Drawing's own records (what the arrays drawn
// from hold now, whether the loading picture was shown) stay as they are.
void restoreShowState(const ShowSnapshot& s);
// A 64-bit digest of every record that advancing moves, over each record's
// own field list (the clock, the timeline, the flags, the drivers, the
// physics, the random state, the traced ball, the valley's counters, the
// sphere places and every particle, spring and collider): equal digests mean
// the same state, bit for bit.
uint64_t showStateDigest();

struct PlayerState {
    std::map<uint64_t, ShowSnapshot> saved;  // by the show frame they precede
    uint64_t savedEvery = 10 * kShowRate;     // ten seconds of show
};
extern PlayerState player;

// The first show frame whose time is at or after ms.
uint64_t showFrameAt(double ms);
// The show time of frame i in milliseconds.
uint32_t showFrameMs(uint64_t frame);
// Forgets every saved state and saves the one at hand as frame 0's; called
// once the start-up load has ended.
void startPlayer();
// Advances the next show frame (no GL call) and moves the clock on.
void advanceShowFrame();
// Brings the state to just before show frame `next` is advanced, by
// advancing on or by restoring a saved state first. Nothing is drawn.
// stop, when given, is asked between frames; a true answer ends the seek early.
void seekShow(uint64_t next, bool (*stop)() = nullptr);
