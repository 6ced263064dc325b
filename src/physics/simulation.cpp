// simulation.cpp - forces, integrator and contacts of the mass-spring bodies.
#include "physics/simulation.h"

#include <cmath>

PhysicsState physics;

void resetPhysicsState() { physics = PhysicsState(); }

void accumulateForces(Particle* particles, Spring* springs, Collider* /*colliders*/) {
    for (Particle* p = particles; p; p = p->next) {
        if (p->flags & PF_LIGHT)
            p->force = kLightGravity * p->mass;
        else if (!(p->flags & PF_FIXED))
            p->force = physics.gravity * p->mass;
        // A fixed heavy particle keeps whatever it had: nobody reads it.
    }
    for (Spring* s = springs; s; s = s->next) {
        Particle* a = s->a;
        Particle* b = s->b;
        Vec3 d = a->position - b->position;
        float len = length(d);
        if (len == 0.0f) continue;  // coincident ends: no direction, no force
        Vec3 w = a->velocity - b->velocity;
        float f = (len - s->restLength) * s->stiffness + dot(w, d) * s->damping / len;
        Vec3 pull = (d * (1.0f / len)) * f;
        b->force = pull + b->force;
        a->force = pull * -1.0f + a->force;
    }
}

void halfStep(Particle* particles, float dt) {
    for (Particle* p = particles; p; p = p->next) {
        if (p->flags & PF_FIXED) continue;
        Vec3 dv = (p->force * (1.0f / p->mass)) * dt;      // velocity change over the step
        Vec3 dx = (p->velocity + dv * 0.5f) * dt;          // displacement over the step
        p->savedVelocity = p->velocity;
        p->velocity = p->velocity + dv * 0.5f;
        p->savedPosition = p->position;
        p->position = p->position + dx * 0.5f;
    }
}

void fullStep(Particle* particles, float dt) {
    for (Particle* p = particles; p; p = p->next) {
        if (p->flags & PF_FIXED) continue;
        p->velocity = (p->force * (1.0f / p->mass)) * dt + p->savedVelocity;
        p->position = p->velocity * dt;
        p->position = p->position + p->savedPosition;
    }
}

void followParticles(Collider* colliders) {
    for (Collider* c = colliders; c; c = c->next)
        if ((c->flags & CF_ACTIVE) && c->particle) c->centre = c->particle->position;
}

namespace {

// Clamps one coordinate of a collider's particle and reverses that velocity.
inline void wallHit(float& coord, float& vel, float bound, float restitution) {
    coord = bound;
    vel = -restitution * vel;
}

// Stage 1: every active collider with a particle stays inside the box.
void keepCollidersInBox(Collider* colliders) {
    const Vec3& lo = physics.boxMin;
    const Vec3& hi = physics.boxMax;
    const float k = physics.wallRestitution;
    for (Collider* c = colliders; c; c = c->next) {
        if (!c->particle || !(c->flags & CF_ACTIVE)) continue;
        Particle* p = c->particle;
        const float r = c->radius;
        if (hi.x - r < p->position.x) wallHit(p->position.x, p->velocity.x, hi.x - r, k);
        if (hi.y - r < p->position.y) wallHit(p->position.y, p->velocity.y, hi.y - r, k);
        // The far z wall lets a sphere through by its radius: kept as the room was tuned.
        if (hi.z + r < p->position.z) wallHit(p->position.z, p->velocity.z, hi.z + r, k);
        if (lo.x + r > p->position.x) wallHit(p->position.x, p->velocity.x, lo.x + r, k);
        if (lo.y + r > p->position.y) wallHit(p->position.y, p->velocity.y, lo.y + r, k);
        if (lo.z + r > p->position.z) wallHit(p->position.z, p->velocity.z, lo.z + r, k);
        c->centre = p->position;
    }
}

// A standing sphere that holds particles inside it.
inline bool isContainer(const Collider* c) { return !c->particle && !(c->flags & CF_PASSIVE); }

// Reflects v about the plane whose normal is n (unit or zero).
inline Vec3 reflect(const Vec3& v, const Vec3& n) {
    Vec3 u = n * dot(n, v);
    return (v - u) - u;
}

// Stage 2a, the tablecloth rule: walls without radius, then container spheres.
void walledBounds(Particle* p, Collider* colliders) {
    const Vec3& lo = physics.boxMin;
    const Vec3& hi = physics.boxMax;
    const float k = physics.wallRestitution;
    Vec3& x = p->position;
    Vec3& v = p->velocity;
    if (x.x > hi.x) wallHit(x.x, v.x, hi.x, k);
    if (x.y > hi.y) wallHit(x.y, v.y, hi.y, k);
    if (x.z > hi.z) wallHit(x.z, v.z, hi.z, k);
    if (x.x < lo.x) wallHit(x.x, v.x, lo.x, k);
    if (x.y < lo.y) wallHit(x.y, v.y, lo.y, k);
    if (x.z < lo.z) wallHit(x.z, v.z, lo.z, k);

    if (p->flags & PF_HAS_COLLIDER) return;
    for (Collider* c = colliders; c; c = c->next) {
        if (!isContainer(c)) continue;
        Vec3 toCentre = c->centre - x;
        double s = static_cast<double>(length(toCentre)) + p->radius;
        double out = s - c->radius;
        if (out > 0.0) {
            Vec3 n = toCentre;
            normalise(n);
            x = x + n * static_cast<float>(out);
            v = reflect(v, n) * c->factor;
        }
    }
    for (Collider* c = colliders; c; c = c->next) {
        if (!isContainer(c)) continue;
        Vec3 toCentre = c->centre - x;
        if (length(toCentre) - c->radius < 0.01f) {
            Vec3 n = toCentre;
            normalise(n);
            v = reflect(v, n);
            x = x + v * physics.dtCoarse;
            v = v * c->factor;
        }
    }
}

// One floor-rule wall: clamp, reverse by floorBounce, then damp the whole velocity.
inline void floorHit(Vec3& v, float& coord, float& vel, float bound, float damping) {
    coord = bound;
    vel = -physics.floorBounce * vel;
    v = v * damping;
}

// Stage 2b, the floor rule: the floor sinks as the figure's rests add up.
void floorBounds(Particle* p) {
    const Vec3 savedMin = physics.boxMin;
    const Vec3 savedMax = physics.boxMax;
    float g = 0.22f;
    physics.boxMin.y = -0.002f;
    if (physics.bounceCount > 5) {
        physics.boxMin.y = -1.0f;
        g = 0.2f;
        physics.floorBounce = 0.7f;  // stays for the rest of the show
    } else if (physics.bounceCount > 1) {
        physics.boxMin.y = -0.1f;
        g = 0.2f;
    }
    const Vec3& lo = physics.boxMin;
    const Vec3& hi = physics.boxMax;
    Vec3& x = p->position;
    Vec3& v = p->velocity;
    if (x.x > hi.x) floorHit(v, x.x, v.x, hi.x, g);
    if (x.y > hi.y) floorHit(v, x.y, v.y, hi.y, g);
    if (x.z > hi.z) floorHit(v, x.z, v.z, hi.z, g);
    if (x.x < lo.x) floorHit(v, x.x, v.x, lo.x, g);
    if (x.y < lo.y) floorHit(v, x.y, v.y, lo.y, g);
    if (x.z < lo.z) floorHit(v, x.z, v.z, lo.z, g);
    physics.boxMin = savedMin;
    physics.boxMax = savedMax;
}

// Stage 3 for one ordered pair; s2 stands still when it has no particle.
void sphereContact(Collider* s1, Collider* s2) {
    Particle* p1 = s1->particle;
    Particle* p2 = s2->particle;
    const float dt = physics.dtCoarse;
    const float r1 = s1->radius;
    const float r2 = s2->radius;

    Vec3 d = s1->centre - s2->centre;
    Vec3 v2 = p2 ? p2->velocity : Vec3();
    Vec3 rel = (p1->velocity - v2) * dt;
    float dLen = length(d);
    if (!(dLen - r1 - r2 <= length(rel))) return;  // too far to meet within a step
    if (!(dot(rel, d) <= 0.0f)) return;            // moving apart
    Vec3 dir = rel;
    normalise(dir);
    double t = static_cast<double>(dot(dir, d));
    double sumR = static_cast<double>(r1) + r2;
    double miss = static_cast<double>(dLen) * dLen - t * t;
    if (sumR * sumR < miss) return;  // the motion passes the other sphere
    double e = t - std::sqrt(sumR * sumR - miss);
    if (!(e * dt < dLen)) return;
    p1->position = p1->position + dir * static_cast<float>(e * dt);
    s1->centre = p1->position;

    Vec3 n = d;
    normalise(n);
    Vec3 u1 = n * dot(n, p1->velocity);
    if (p2) {
        Vec3 m = n * -1.0f;
        Vec3 u2 = m * dot(m, p2->velocity);
        p1->velocity = p1->velocity - u1;
        p2->velocity = p2->velocity - u2;
        const float m1 = p1->mass;
        const float m2 = p2->mass;
        const float sum = m1 + m2;
        p1->velocity = p1->velocity + (u1 * ((m1 - m2) / sum) + u2 * (2.0f * m2 / sum));
        p2->velocity = p2->velocity + (u1 * (2.0f * m1 / sum) + u2 * ((m2 - m1) / sum));
        p1->velocity = p1->velocity * s2->factor;
        p2->velocity = p2->velocity * s1->factor;
    } else {
        p1->velocity = (p1->velocity - u1) - u1;
        p1->velocity = p1->velocity * s2->factor;
    }
}

}  // namespace

void resolveContacts(Particle* particles, Collider* colliders) {
    keepCollidersInBox(colliders);

    const int32_t lightDynamic = PF_DYNAMIC | PF_LIGHT;
    for (Particle* p = particles; p; p = p->next) {
        if ((p->flags & lightDynamic) != lightDynamic) continue;
        if (physics.bounds == BoundsRule::Walls)
            walledBounds(p, colliders);
        else
            floorBounds(p);
    }

    for (Collider* s1 = colliders; s1; s1 = s1->next) {
        if (!(s1->flags & CF_ACTIVE) || !s1->particle) continue;
        for (Collider* s2 = colliders; s2; s2 = s2->next) {
            if (!(s2->flags & CF_ACTIVE)) continue;
            if (s2->particle == s1->particle) continue;  // one body cannot knock itself
            sphereContact(s1, s2);
        }
    }
}

void physicsStep(const SoftBody& body, float dt) {
    accumulateForces(body.particles, body.springs, body.colliders);
    halfStep(body.particles, dt);
    accumulateForces(body.particles, body.springs, body.colliders);
    fullStep(body.particles, dt);
    followParticles(body.colliders);
    resolveContacts(body.particles, body.colliders);
    followParticles(body.colliders);
}
