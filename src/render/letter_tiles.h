// letter_tiles.h - a letter cloth drawn as tiles, each showing its glyph
// picture stretched over four of the tile's particles.
#pragma once

#include "image/texture.h"
#include "physics/model.h"

// Draws the tiles of a letter cloth's particle list (head, marker, then six
// particles per tile, the first four the corners upper-left, upper-right,
// lower-right, lower-left), tile k with pair k, at most pairCount tiles.
// Each tile is a mask pass that darkens the frame where the letter is and a
// colour pass that adds the letter there. Returns the number of tiles drawn.
int drawLetterTiles(Particle* head, const TexturePair* pairs, int pairCount);
