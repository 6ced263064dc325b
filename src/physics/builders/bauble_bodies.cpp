// bauble_bodies.cpp - the two nine-bauble bodies: baubles on zero-length
// springs from pinned points, each with a sphere so they knock together.
#include <cmath>

#include "physics/builders/builders.h"
#include "physics/drivers.h"

namespace {

// Which ends a bauble's two strings join.
enum class Ends { PinBob, BobBob };

struct Bauble {
    float mass;
    int32_t pinFlags;
    Vec3 pin;
    int32_t bobFlags;
    Vec3 bob;
    Vec3 startVelocity;
    float radius;
    bool colliderOnBob;  // false: the sphere stands still
    Ends ends;
    int swingIndex;      // the driven pin's swing-table entry, or -1
};

// Appends one bauble: pin, bob, its sphere, then two equal strings.
void addBauble(const SoftBody& body, const Bauble& b, float damping, float stiffness) {
    Particle* before = lastParticle(body.particles);
    addParticle(body.particles, b.mass, b.pinFlags, b.pin, Vec3(), 0.0);
    if (b.swingIndex >= 0) drivers.swingTable[b.swingIndex] = lastParticle(body.particles)->position;
    addParticle(body.particles, b.mass, b.bobFlags, b.bob, b.startVelocity, 0.0);
    addCollider(body.colliders, b.radius, Vec3(), 1.0f, CF_ACTIVE | CF_BODY_BALL,
                b.colliderOnBob ? lastParticle(body.particles) : nullptr);
    Particle* pin = before->next;
    Particle* bob = before->next->next;
    Particle* upper = b.ends == Ends::PinBob ? pin : bob;
    for (int i = 0; i < 2; ++i) addSpringWithRest(body.springs, damping, 0.0f, stiffness, upper, bob);
}

}  // namespace

SoftBody buildHangingBaubles() {
    SoftBody body = makeHeads(true);
    const Vec3 top(0.0f, 0.6f, 0.0f);
    const Vec3 still;
    // The heavy second bauble hangs on strings of length 0 at its own bob:
    // it flies free from its start and bounces about the room. It collides
    // at the size it is drawn, as the standing ball of the driven scene does.
    const Bauble baubles[9] = {
        {5.8f, PF_FIXED, top, PF_DYNAMIC, Vec3(0.2f, -0.1f, 0.0f), still, 0.05f, true, Ends::PinBob, -1},
        {20.0f, PF_FIXED, Vec3(0.4f, 0.2f, 0.0f), PF_DYNAMIC, Vec3(0.6f, 0.3f, 0.0f), Vec3(-2.5f, 0.0f, 0.0f), 0.13f,
         true, Ends::BobBob, -1},
        {5.2f, PF_FIXED, top, PF_DYNAMIC, Vec3(-0.1f, -0.2f, 0.0f), still, 0.05f, true, Ends::PinBob, -1},
        {5.2f, PF_FIXED, top, PF_DYNAMIC, Vec3(0.0f, -0.2f, -0.1f), still, 0.05f, true, Ends::PinBob, -1},
        {5.3f, PF_FIXED, top, PF_DYNAMIC, Vec3(-0.1f, -0.2f, -0.1f), still, 0.05f, true, Ends::PinBob, -1},
        {5.5f, PF_FIXED, top, PF_DYNAMIC, Vec3(-0.1f, -0.2f, 0.1f), still, 0.05f, true, Ends::PinBob, -1},
        {5.4f, PF_FIXED, top, PF_DYNAMIC, Vec3(0.0f, -0.2f, 0.1f), still, 0.05f, true, Ends::PinBob, -1},
        {5.5f, PF_FIXED, top, PF_DYNAMIC, Vec3(0.1f, -0.2f, 0.1f), still, 0.05f, true, Ends::PinBob, -1},
        {5.5f, PF_FIXED, top, PF_DYNAMIC, Vec3(0.1f, -0.2f, -0.1f), still, 0.05f, true, Ends::PinBob, -1},
    };
    for (int i = 0; i < 9; ++i) addBauble(body, baubles[i], 4.2f, i == 1 ? 101.0f : 50.5f);
    return body;
}

SoftBody buildDrivenBaubles() {
    SoftBody body = makeHeads(true);
    const float s = static_cast<float>(std::sqrt(2.0) * 0.1);
    const int32_t driven = PF_DRIVEN | PF_FIXED;
    const Vec3 still;
    auto hung = [&](Vec3 pin, int swing) {
        return Bauble{2.9f, driven, pin, PF_DYNAMIC, Vec3(pin.x, -0.2f, pin.z), still, 0.05f, true, Ends::PinBob,
                      swing};
    };
    // The second entry is the standing central ball the swinging bobs knock against.
    const Bauble baubles[9] = {
        hung(Vec3(s, 0.6f, 0.0f), 0),
        {100.0f, PF_FIXED, Vec3(), PF_FIXED, Vec3(), still, 0.13f, false, Ends::BobBob, -1},
        hung(Vec3(-s, 0.6f, 0.0f), 1),
        hung(Vec3(0.0f, 0.6f, -s), 2),
        hung(Vec3(-0.1f, 0.6f, -0.1f), 3),
        hung(Vec3(-0.1f, 0.6f, 0.1f), 4),
        hung(Vec3(0.0f, 0.6f, s), 5),
        hung(Vec3(0.1f, 0.6f, 0.1f), 6),
        hung(Vec3(0.1f, 0.6f, -0.1f), 7),
    };
    for (const Bauble& b : baubles) addBauble(body, b, 5.0f, 25.0f);
    return body;
}
