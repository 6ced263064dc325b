// single_bodies.cpp - the two falling sheets of the single-bauble scenes:
// 10 x 10 small spheres on a doubled spring lattice, with a standing ball.
#include "physics/builders/builders.h"
#include "physics/drivers.h"

namespace {

struct SheetConstants {
    float sheetY;
    float z0;
    Vec3 ballCentre;
    float ballRadius;
};

// One sheet: heads, the ball, the particles with their spheres, the springs twice.
SoftBody buildSheet(const SheetConstants& k) {
    SoftBody body = makeHeads(false);
    addCollider(body.colliders, k.ballRadius, k.ballCentre, 1.0f, CF_ACTIVE | CF_BODY_BALL, nullptr);
    for (int r = 0; r < 10; ++r)
        for (int j = 0; j < 10; ++j) {
            Vec3 pos(static_cast<float>((j - 5) / 10.0), k.sheetY, static_cast<float>(k.z0 - r / 10.0));
            addParticle(body.particles, 0.25f, PF_DYNAMIC, pos, Vec3(), 0.0);
            Particle* p = lastParticle(body.particles);
            addCollider(body.colliders, 0.05f, Vec3(), 1.0f, CF_ACTIVE, p);
            if (r == 0) drivers.anchorRow[j] = p->position;
        }
    static const int32_t flags[14] = {0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    // Every family twice over: the sheet is twice as stiff as one lattice.
    addSheetSprings(body, 6.0f, 100.0f, flags);
    addSheetSprings(body, 6.0f, 100.0f, flags);
    return body;
}

}  // namespace

SoftBody buildSingle1() { return buildSheet({0.6f, 0.4f, Vec3(0.0f, 0.0f, 0.1f), 0.25f}); }

SoftBody buildSingle2() { return buildSheet({-0.2f, 0.0f, Vec3(0.0f, -0.4f, 0.0f), 0.125f}); }
