// glyphs.h - the letter pictures of the two spelled scenes. The intro spells "morvinal sulty pakh" with glyph set A, the
// finale "amiga rulez 1994" with glyph set B; every letter position has its
// own picture and mask, so a letter that occurs twice is loaded twice.
#pragma once

#include <cstdint>

#include "image/texture.h"

constexpr int kGlyphSetASize = 17;
constexpr int kGlyphSetBSize = 14;

// The letters of each set in reading order (one picture file per letter).
extern const char kGlyphSetALetters[kGlyphSetASize + 1];
extern const char kGlyphSetBLetters[kGlyphSetBSize + 1];

// Loads "Images/<letter>.bmp" and its "_alpha" mask into each pair of set A.
void loadGlyphSetA(TexturePair pairs[kGlyphSetASize]);
// The same for set B.
void loadGlyphSetB(TexturePair pairs[kGlyphSetBSize]);
