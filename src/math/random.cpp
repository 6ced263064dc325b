// random.cpp - linear congruential generator, state * 214013 + 2531011.
#include "math/random.h"

RandomState showRandom;

int showRand() {
    showRandom.state = showRandom.state * 214013u + 2531011u;
    return static_cast<int>((showRandom.state >> 16) & 0x7FFFu);
}

double showRandUnit() { return showRand() / 32767.0; }

void resetShowRand() { showRandom = RandomState(); }
