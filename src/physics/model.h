// model.h - the records of the mass-spring simulation: particles, springs and
// collision spheres, the singly linked lists that hold them, and the group of
// three lists one scene steps together. Every list starts with a head record;
// real records are appended behind it, never reordered, never freed while the
// show runs. Drivers and builders address particles by their place in a list,
// so the order of appends is part of the show.
//
// Every creation draws from the show's one random sequence (a particle one
// value, a collider three), so the builders' order decides what later users of
// the sequence get.
#pragma once

#include <cstddef>
#include <cstdint>

#include "math/vec3.h"

// Particle flag bits.
enum : int32_t {
    PF_DYNAMIC = 0x01,       // free particle; with PF_LIGHT it is held by the bounds
    PF_FIXED = 0x02,         // pinned: no gravity, not integrated
    PF_HAS_COLLIDER = 0x04,  // a collider follows it; not tested against standing spheres
    PF_HEAD = 0x08,          // the head particle of a list
    PF_DRIVEN = 0x20,        // placed by a driver from a rotating table
    PF_LIGHT = 0x40,         // lighter gravity; with PF_DYNAMIC held by the bounds
};
// Spring flag bits (only SF_CONTRACT is read).
enum : int32_t { SF_CONTRACT = 0x04 };
// Collider flag bits.
enum : int32_t {
    CF_ACTIVE = 0x01,   // follows its particle, held in the box, takes part in contacts
    CF_PASSIVE = 0x02,  // never an obstacle for particles (every head collider)
    CF_BODY_BALL = 0x04,  // set by the builders on a body's own balls; read by nobody
};

struct Particle {
    float mass;
    int32_t flags;
    Vec3 position;
    Vec3 velocity;
    Vec3 force;
    Vec3 savedPosition;  // state at the start of the step, between the half-steps
    Vec3 savedVelocity;
    Vec3 tickStart;      // where the particle stood before its body's last tick, for drawing between ticks
    double radius;       // for the container-sphere test; always 0 in the show
    double randomValue;  // drawn at creation, read by nobody
    Particle* next;
};

struct Spring {
    int32_t flags;
    Particle* a;
    Particle* b;
    float stiffness;
    float damping;
    float restLength;
    Spring* next;
};

struct Collider {
    int32_t flags;
    Particle* particle;  // the particle the centre follows, or null for a standing sphere
    Vec3 centre;
    float radius;
    float factor;        // velocity factor for whatever bounces off this sphere
    float random[3];     // drawn at creation, read by nobody
    Collider* next;
};

// Their fields; the links are made at the load and never change.
template <class Visit>
void forEachField(const Particle& p, Visit&& visit) {
    visit(p.mass);
    visit(p.flags);
    visit(p.position);
    visit(p.velocity);
    visit(p.force);
    visit(p.savedPosition);
    visit(p.savedVelocity);
    visit(p.tickStart);
    visit(p.radius);
    visit(p.randomValue);
    visit(p.next);
}
template <class Visit>
void forEachField(const Spring& s, Visit&& visit) {
    visit(s.flags);
    visit(s.a);
    visit(s.b);
    visit(s.stiffness);
    visit(s.damping);
    visit(s.restLength);
    visit(s.next);
}
template <class Visit>
void forEachField(const Collider& c, Visit&& visit) {
    visit(c.flags);
    visit(c.particle);
    visit(c.centre);
    visit(c.radius);
    visit(c.factor);
    visit(c.random);
    visit(c.next);
}

// The three lists one scene steps together, by their heads.
struct SoftBody {
    Particle* particles = nullptr;
    Spring* springs = nullptr;
    Collider* colliders = nullptr;
};

// Creates a particle; randomValue takes one draw.
Particle* newParticle(float mass, int32_t flags, Vec3 position, Vec3 velocity, double radius);
// Appends a new particle behind the last one of head's list.
void addParticle(Particle* head, float mass, int32_t flags, Vec3 position, Vec3 velocity, double radius);
// Creates a spring; a rest length of 0 means "measure the ends now".
Spring* newSpring(float damping, float restLength, float stiffness, Particle* a, Particle* b, int32_t flags);
// Appends a new measured spring; returns it.
Spring* addSpring(Spring* head, float damping, float restLength, float stiffness, Particle* a, Particle* b,
                  int32_t flags);
// Creates a spring with the rest length as given and no flags.
Spring* newSpringWithRest(float damping, float restLength, float stiffness, Particle* a, Particle* b);
// Appends a new spring with the rest length as given; returns it.
Spring* addSpringWithRest(Spring* head, float damping, float restLength, float stiffness, Particle* a, Particle* b);
// Creates a collider; its three random values take three draws.
Collider* newCollider(float radius, Vec3 centre, float factor, int32_t flags, Particle* particle);
// Appends a new collider and marks its particle (if any) PF_HAS_COLLIDER.
void addCollider(Collider* head, float radius, Vec3 centre, float factor, int32_t flags, Particle* particle);

// Walks n links from head; the head itself when the list ends first.
Particle* nthParticle(Particle* head, int n);
// The last particle of the list (the head when it is empty).
Particle* lastParticle(Particle* head);
// The last collider of the list.
Collider* lastCollider(Collider* head);

// Where records come from: blocks taken from `allocate`, one run of blocks
// per record kind so each list lies mostly contiguous in creation order, kept
// for the whole process. A failed allocation ends the process with a message
// and a non-zero code: the show cannot run without its bodies.
struct RecordStore {
    struct Run {
        unsigned char* cursor = nullptr;  // free space in the newest block of this kind
        std::size_t left = 0;             // records that still fit there
    };
    void* (*allocate)(std::size_t bytes);  // std::malloc unless a test swaps it
    void (*release)(void* block);          // its partner, std::free
    void* blocks = nullptr;                // every block taken, newest first
    Run particles, springs, colliders;
    std::size_t recordCount = 0;           // records handed out so far
    RecordStore();
};
extern RecordStore records;

// Gives every record back and starts empty (tests only: the show never frees).
void releaseAllRecords();
