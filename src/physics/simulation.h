// simulation.h - the physics of the soft-body scenes: gravity and damped
// springs, the midpoint integrator, colliders that follow their particles,
// and the contact pass (the room's box, spheres that hold particles inside,
// sphere-against-sphere knocks with a mass-weighted exchange of velocity).
// No clock here: the scene drivers decide when, how often and with which dt.
#pragma once

#include <cstdint>

#include "math/vec3.h"
#include "physics/model.h"
#include "show/room.h"

// The two ways the light particles are held: bounced off every wall of the
// room, or kept above a floor that sinks as the finale figure settles.
enum class BoundsRule : int32_t { Floor, Walls };

// The simulation's process-wide values. Only the bounds rule, floorBounce
// and, for the length of one particle's floor handling, boxMin.y ever change.
struct PhysicsState {
    Vec3 gravity{0.0f, -10.0f, 0.0f};
    Vec3 boxMin = kRoomMin;  // the room is also the bounds box
    Vec3 boxMax = kRoomMax;
    float wallRestitution = 0.8f;
    float floorBounce = 0.1f;  // 0.7 for good once the figure has rested often enough
    float dtCoarse = 0.016f;   // dt of the bauble scenes and the span of one contact test
    // What holds the light particles: the room's walls, or the floor.
    BoundsRule bounds = BoundsRule::Floor;
    // Completed rests of the finale figure; lowers its floor as it grows.
    int32_t bounceCount = 0;
};
extern PhysicsState physics;
template <class Visit>
void forEachField(const PhysicsState& p, Visit&& visit) {
    visit(p.gravity);
    visit(p.boxMin);
    visit(p.boxMax);
    visit(p.wallRestitution);
    visit(p.floorBounce);
    visit(p.dtCoarse);
    visit(p.bounds);
    visit(p.bounceCount);
}

// The lighter pull on PF_LIGHT particles (a constant, not a setting).
const Vec3 kLightGravity(0.0f, -4.0f, 0.0f);

// Writes gravity into every free particle, then adds every spring's pull.
// The collider list is accepted and ignored.
void accumulateForces(Particle* particles, Spring* springs, Collider* colliders = nullptr);
// Moves every free particle to the midpoint of the step, keeping its start.
void halfStep(Particle* particles, float dt);
// Completes the step from the start state with the midpoint forces.
void fullStep(Particle* particles, float dt);
// Puts every active collider that has a particle on that particle.
void followParticles(Collider* colliders);
// The box, the container spheres, the floor and the sphere knocks.
void resolveContacts(Particle* particles, Collider* colliders);
// One whole physics step of a body: forces, half, forces, full, follow, contacts, follow.
void physicsStep(const SoftBody& body, float dt);

// Back to the values at load (tests).
void resetPhysicsState();
