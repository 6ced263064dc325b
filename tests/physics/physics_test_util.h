// physics_test_util.h - shared set-up for the physics tests: a clean show
// state, a hand-driven clock, list counts and position snapshots.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "show/show_clock.h"
#include "app/timeline.h"
#include "math/random.h"
#include "physics/bodies.h"
#include "physics/builders/builders.h"
#include "physics/drivers.h"
#include "physics/model.h"
#include "physics/simulation.h"

// A clock the test moves by hand, installed as the live clock.
struct FakeClock {
    static uint32_t now;
    static uint32_t read() { return now; }
    static void install(uint32_t start) {
        now = start;
        useLiveClock(&FakeClock::read);
    }
};

// Every physics test starts from the state at load, random sequence included.
class PhysicsTest : public ::testing::Test {
protected:
    void SetUp() override { resetAll(); }
    void TearDown() override { resetAll(); }
    static void resetAll() {
        resetShowPhysics();
        resetShowRand();
        showFlags.bodyScenesStarted = 0;
        showFlags.rampFlag = 0;
        FakeClock::install(0);
    }
};

// How many records each list holds, head included.
inline int countParticles(const Particle* p) {
    int n = 0;
    for (; p; p = p->next) ++n;
    return n;
}
inline int countSprings(const Spring* s) {
    int n = 0;
    for (; s; s = s->next) ++n;
    return n;
}
inline int countColliders(const Collider* c) {
    int n = 0;
    for (; c; c = c->next) ++n;
    return n;
}

// The list index of every particle, head 0.
inline std::vector<const Particle*> particleVector(const Particle* head) {
    std::vector<const Particle*> v;
    for (; head; head = head->next) v.push_back(head);
    return v;
}

// Positions and velocities of a list, for before/after comparisons.
inline std::vector<float> stateOf(const Particle* head) {
    std::vector<float> v;
    for (; head; head = head->next) {
        const Vec3* vs[2] = {&head->position, &head->velocity};
        for (const Vec3* x : vs) {
            v.push_back(x->x);
            v.push_back(x->y);
            v.push_back(x->z);
        }
    }
    return v;
}

// Every body of the show, in start-up order, with a name for messages.
struct NamedBody {
    const char* name;
    const SoftBody* body;
};
inline std::vector<NamedBody> allBodies() {
    return {{"hanging baubles", &showBodies.hangingBaubles}, {"driven baubles", &showBodies.drivenBaubles},
            {"single 1", &showBodies.single1},              {"single 2", &showBodies.single2},
            {"finale body", &showBodies.finaleBody},        {"tablecloth L", &showBodies.tableLeft},
            {"tablecloth R", &showBodies.tableRight},       {"intro cloth", &showBodies.introCloth.body},
            {"finale cloth", &showBodies.finaleCloth.body}};
}
