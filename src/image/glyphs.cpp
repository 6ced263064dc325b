// glyphs.cpp - loading the glyph sets.
#include "image/glyphs.h"

#include <string>

namespace {

// Picture then mask of every position, each prepared first (no mipmaps).
void loadSet(TexturePair* pairs, const char* letters, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string stem = std::string("Images/") + letters[i];
        prepareTexture(pairs[i].colour);
        loadTexture((stem + ".bmp").c_str());
        prepareTexture(pairs[i].mask);
        loadTexture((stem + "_alpha.bmp").c_str());
    }
}

}  // namespace

void loadGlyphSetA(TexturePair pairs[kGlyphSetASize]) { loadSet(pairs, kGlyphSetALetters, kGlyphSetASize); }

void loadGlyphSetB(TexturePair pairs[kGlyphSetBSize]) { loadSet(pairs, kGlyphSetBLetters, kGlyphSetBSize); }
