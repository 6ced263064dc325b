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

// The player's display: its clock in the top-left corner, "m:ss.t / 5:00";
// the volume ("vol 80%", when volumePercent >= 0) or "muted" in the
// top-right one; a thin bar of the whole show along the bottom, filled as far
// as showMs. Drawn from the cells picture ("0123456789:./%mutedvol" in cells
// of 16 x 32 pixels along 512 x 32). Leaves every GL state as it found it.
void drawPlayerDisplay(GLuint cells, uint32_t showMs, int volumePercent, bool muted);
// The text of that clock.
std::string showClockText(uint32_t showMs);
// The text of the sound's corner: "muted", "vol N%", or nothing.
std::string playerSoundText(int volumePercent, bool muted);

// Scale of a greeting sprite: 0 at its growth start, 1.4 seven seconds later.
double greetingScale(uint32_t t, uint32_t growthStart);
