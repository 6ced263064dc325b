// glyphs.h - the letter pictures of the two spelled scenes (their words in
// glyph_words.h); every letter position has its own picture and mask, so a
// letter that occurs twice is loaded twice.
#pragma once

#include <cstdint>

#include "image/glyph_words.h"
#include "image/texture.h"

// Loads "Images/<letter>.bmp" and its "_alpha" mask into each pair of set A.
void loadGlyphSetA(TexturePair pairs[kGlyphSetASize]);
// The same for set B.
void loadGlyphSetB(TexturePair pairs[kGlyphSetBSize]);
