// bodies.h - the show's soft bodies: one SoftBody per physical scene (two for
// the tablecloth), built once at start-up and stepped by the scene drivers.
// The letter cloths also carry which glyph each tile shows, so the tile
// drawing can pair tile k with its letter picture without asking physics.
#pragma once

#include "physics/model.h"

// Tile k of a letter cloth is particles 2 + 6k ... 7 + 6k of its list; the
// first four are its corners (upper left, upper right, lower right, lower left).
constexpr int kIntroTiles = 17;
constexpr int kFinaleTiles = 15;
constexpr int kIntroGlyphs = 17;   // glyph set A: morvinal, sulty, pakh
constexpr int kFinaleGlyphs = 14;  // glyph set B: amiga, rulez, 1994

struct LetterCloth {
    SoftBody body;
    int tileCount = 0;
    // Glyph pair of each tile in its set, or -1 for a tile with no letter
    // (the finale's extra tile, which is never drawn).
    int glyph[kIntroTiles] = {};
    // The letter each tile spells, '\0' for none (for reports and tests).
    char letter[kIntroTiles] = {};
};

// The finale body's particles by their place in its list, the head being 0:
// the cloth grid of 10 x 10, then the loose ball and the lamp's seven points
// (the builder appends them in this order; the driver kicks the shade and the
// drawing reads the slab and the stand).
enum FinaleParticle : int {
    kFinaleGridSide = 10,
    kFinaleBall = 1 + kFinaleGridSide * kFinaleGridSide,  // 101
    kLampSlabFirst = kFinaleBall + 1,                     // 102 to 105, the slab's corners
    kLampStandFoot = kLampSlabFirst + 4,                  // 106
    kLampStandTop,                                        // 107
    kLampShade,                                           // 108
};

struct ShowBodies {
    SoftBody hangingBaubles;  // nine baubles hanging from one point
    SoftBody drivenBaubles;   // eight baubles on swinging pins around a standing ball
    SoftBody single1;         // the sheet that falls onto the large ball
    SoftBody single2;         // the sheet that turns from its first row
    SoftBody finaleBody;      // the finale's cloth grid, ball and hopping lamp
    SoftBody tableLeft;       // the two halves of the tablecloth
    SoftBody tableRight;
    LetterCloth introCloth;   // the intro's letter tiles
    LetterCloth finaleCloth;  // the finale's letter tiles
    bool built = false;
};
extern ShowBodies showBodies;

// The first particle of tile k of a letter cloth (its upper-left corner).
Particle* tileFirstParticle(const LetterCloth& cloth, int k);
