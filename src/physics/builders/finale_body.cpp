// finale_body.cpp - the finale's body: a cloth grid that falls until its
// middle is frozen as the table top, a loose ball, and the stiff seven-point
// lamp (slab, stand, shade) that the floor rule holds up and the driver kicks.
#include "physics/builders/builders.h"
#include "physics/bodies.h"
#include "physics/drivers.h"

SoftBody buildFinaleBody() {
    SoftBody body = makeHeads(false);
    Particle* head = body.particles;
    for (int r = 0; r < kFinaleGridSide; ++r)
        for (int j = 0; j < kFinaleGridSide; ++j) {
            Vec3 pos(static_cast<float>((j - 5) / 10.0), 0.0f, static_cast<float>(-r / 10.0));
            addParticle(head, 0.25f, PF_DYNAMIC, pos, Vec3(), 0.0);
            if (r == 0) drivers.anchorRow[j] = pos;
        }
    static const int32_t flags[14] = {0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    addSheetSprings(body, 6.0f, 100.0f, flags);

    addParticle(head, 0.45f, PF_DYNAMIC, Vec3(0.0f, -0.6f, 0.0f), Vec3(), 0.0);
    addCollider(body.colliders, 0.15f, Vec3(), 1.0f, CF_ACTIVE | CF_BODY_BALL, lastParticle(head));

    // The lamp: four heavy slab corners, the stand's two points, the shade.
    const Vec3 base(0.6f, 0.0f, -0.6f);
    struct Point {
        float mass;
        Vec3 offset;
    };
    const Point points[7] = {
        {1.6f, Vec3(-0.138f, 0.2f, -0.138f)}, {1.6f, Vec3(0.138f, 0.2f, -0.138f)},
        {1.6f, Vec3(0.138f, 0.2f, 0.138f)},   {1.6f, Vec3(-0.138f, 0.2f, 0.138f)},
        {0.5f, Vec3(0.0f, 0.2f, 0.0f)},       {0.5f, Vec3(-0.046f, 0.545f, 0.0f)},
        {0.3f, Vec3(-0.207f, 0.614f, 0.0f)},
    };
    Particle* f[8] = {};  // f[1] .. f[7]
    for (int k = 0; k < 7; ++k) {
        addParticle(head, points[k].mass, PF_DYNAMIC | PF_LIGHT, base + points[k].offset * 0.3f, Vec3(), 0.0);
        f[k + 1] = lastParticle(head);
    }
    // Whatever touches the tiny shade sphere loses all its velocity.
    addCollider(body.colliders, 0.001f, Vec3(), 0.0f, CF_ACTIVE | CF_BODY_BALL, f[7]);

    struct Link {
        int a, b;
        float stiffness, damping;
        int32_t flags;
    };
    // Slab with diagonals, slab to the stand's foot and top, the stand (flags 2:
    // drawn as cords), the shade braced to the stand and the slab.
    const Link links[20] = {
        {1, 3, 180, 34, 1}, {2, 4, 180, 34, 1}, {1, 2, 180, 34, 1}, {2, 3, 180, 34, 1}, {3, 4, 180, 34, 1},
        {4, 1, 180, 34, 1}, {1, 5, 180, 34, 1}, {2, 5, 180, 34, 1}, {3, 5, 180, 34, 1}, {4, 5, 180, 34, 1},
        {1, 6, 280, 34, 1}, {2, 6, 280, 34, 1}, {3, 6, 280, 34, 1}, {4, 6, 280, 34, 1}, {5, 6, 280, 34, 2},
        {6, 7, 290, 34, 2}, {4, 7, 250, 32, 1}, {1, 7, 250, 32, 1}, {2, 7, 250, 32, 1}, {3, 7, 250, 32, 1},
    };
    for (const Link& l : links) addSpring(body.springs, l.damping, 0.0f, l.stiffness, f[l.a], f[l.b], l.flags);
    return body;
}
