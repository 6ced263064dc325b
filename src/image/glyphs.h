// glyphs.h - the letter pictures of the two spelled scenes and the drawing of
// letter tiles. The intro spells "morvinal sulty pakh" with glyph set A, the
// finale "amiga rulez 1994" with glyph set B; every letter position has its
// own picture and mask, so a letter that occurs twice is loaded twice.
#pragma once

#include <cstdint>

#include "image/texture.h"
#include "physics/model.h"

constexpr int kGlyphSetASize = 17;
constexpr int kGlyphSetBSize = 14;

// The letters of each set in reading order (one picture file per letter).
extern const char kGlyphSetALetters[kGlyphSetASize + 1];
extern const char kGlyphSetBLetters[kGlyphSetBSize + 1];

// Loads "Images/<letter>.bmp" and its "_alpha" mask into each pair of set A.
void loadGlyphSetA(TexturePair pairs[kGlyphSetASize]);
// The same for set B.
void loadGlyphSetB(TexturePair pairs[kGlyphSetBSize]);

// Draws the tiles of a letter cloth's particle list (head, marker, then six
// particles per tile, the first four the corners upper-left, upper-right,
// lower-right, lower-left), tile k with pair k, at most pairCount tiles.
// Each tile is a mask pass that darkens the frame where the letter is and a
// colour pass that adds the letter there. Returns the number of tiles drawn.
int drawLetterTiles(Particle* head, const TexturePair* pairs, int pairCount);
