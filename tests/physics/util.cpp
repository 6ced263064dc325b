// util.cpp - storage for the hand-driven test clock.
#include "physics_test_util.h"

uint32_t FakeClock::now = 0;
