// random.h - the show's one random generator. Every user draws from one
// sequence in call order (landscape, particles, colliders, releases), so the
// show looks the same on every run: never reseed it, never use the C library's.
#pragma once

#include <cstdint>

struct RandomState {
    uint32_t state = 1;
};
extern RandomState showRandom;
template <class Visit>
void forEachField(const RandomState& r, Visit&& visit) {
    visit(r.state);
}

// Advances the state and returns a value in 0..32767.
int showRand();
// A value in [0, 1]: showRand() / 32767.0.
double showRandUnit();
// Back to the state at process start (tests only).
void resetShowRand();
