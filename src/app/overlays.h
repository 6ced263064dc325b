// overlays.h - 2D elements over the scenes: black fades, the intro logo and
// the landscape's greeting sprites. Each takes the milliseconds since it
// began and keeps no state. The caller has set ortho2d (640 x 480 units,
// centred, y up) and an identity modelview.
#pragma once

#include <cstdint>
#include <string>

#include "image/texture.h"

// Opacity 1 - t/5000: from black to clear in 5 s.
void fadeIn(uint32_t t);
// Opacity t/5000: from clear to black in 5 s.
void fadeOut(uint32_t t);
// Opacity t/15000: from clear to black in 15 s.
void fadeOutLong(uint32_t t);
// The logo, shrinking from very large to its own size over 8 s (t >= 1).
void drawLogo(const TexturePair& logo, uint32_t t);
// The greeting sprites (tarvik, quelm, murto, fenri, kolpa) growing out of
// the centre in four stages over 45 s.
void drawGreetings(const TexturePair* greetings, uint32_t t);

// The player's clock in the top-left corner, "m:ss.t / 5:00", from the
// digits picture (cells "0123456789:./" of 16 x 32 pixels along 256 x 32).
// Leaves every GL state as it found it.
void drawShowClock(GLuint digits, uint32_t showMs);
// The text of that clock.
std::string showClockText(uint32_t showMs);

// Scale of a greeting sprite: 0 at its growth start, 1.4 seven seconds later.
double greetingScale(uint32_t t, uint32_t growthStart);
