// tablecloth.cpp - the two halves of the tablecloth, each a 10 x 10 sheet
// hanging from its pinned first row. Only the row springs contract when the
// halves part, so the cloth gathers sideways while its columns keep length.
#include "physics/builders/builders.h"

namespace {

// One half's 100 particles; x, y and z of row r, column j come from place.
template <typename Place>
void addHalfParticles(const SoftBody& half, Place place) {
    for (int r = 0; r < 10; ++r)
        for (int j = 0; j < 10; ++j)
            addParticle(half.particles, 0.25f, r == 0 ? PF_FIXED : PF_DYNAMIC, place(r, j), Vec3(), 0.0);
}

}  // namespace

void buildTablecloth(SoftBody& left, SoftBody& right) {
    left = makeHeads(false);
    right = makeHeads(false);
    addHalfParticles(left, [](int r, int j) {
        return Vec3(static_cast<float>((j - 5) / 10.0 - 0.1), static_cast<float>(-0.9 - (2.1 * r) / 10.0),
                    static_cast<float>(-r / 10.0));
    });
    addHalfParticles(right, [](int r, int j) {
        return Vec3(static_cast<float>((j - 5) / 10.0 + 0.795), static_cast<float>(-0.9 - (1.9 * r) / 10.0),
                    static_cast<float>(0.07 + r / 10.0));
    });
    static const int32_t flags[14] = {SF_CONTRACT, SF_CONTRACT | 1, SF_CONTRACT | 1, SF_CONTRACT | 1, SF_CONTRACT | 1,
                                      0, 1, 1, 1, 1, 1, 1, 1, 1};
    addSheetSprings(left, 4.0f, 100.0f, flags);
    addSheetSprings(right, 4.0f, 100.0f, flags);
}
