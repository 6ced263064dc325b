// builders.h - the builders that make every soft body of the show at
// start-up, and the one call that runs them in the show's order. The order
// matters: every record takes values from the show's one random sequence,
// and three builders in turn leave their sheet's first row in the drivers'
// anchor row, the finale body's last.
#pragma once

#include <cstdint>

#include "physics/model.h"

struct LetterCloth;

// The head particle, head spring and head collider every body starts with.
// The bauble bodies make their head spring with the unmeasured form.
SoftBody makeHeads(bool unmeasuredHeadSpring);

// The fourteen spring families of a 10 x 10 sheet whose particles are 1..100
// of the list, row by row; flags[f] is family f + 1's flags word.
void addSheetSprings(const SoftBody& body, float damping, float stiffness, const int32_t flags[14]);

// The nine baubles hanging from one point.
SoftBody buildHangingBaubles();
// Eight baubles on driven pins around a standing ball; fills the swing table.
SoftBody buildDrivenBaubles();
// The sheet that falls onto the large ball.
SoftBody buildSingle1();
// The sheet that turns from its first row over the middle ball.
SoftBody buildSingle2();
// The finale's cloth grid, its loose ball and the lamp figure.
SoftBody buildFinaleBody();
// The two halves of the tablecloth.
void buildTablecloth(SoftBody& left, SoftBody& right);
// The intro's letter tiles (glyph set A).
void buildIntroCloth(LetterCloth& cloth);
// The finale's letter tiles (glyph set B) and the extra tile out of view.
void buildFinaleCloth(LetterCloth& cloth);

// Builds every body of the show in start-up order into showBodies.
void buildShowBodies();

// Forgets every body, gives back their records and puts the simulation and
// drivers back at their values at load (tests and benchmarks).
void resetShowPhysics();
