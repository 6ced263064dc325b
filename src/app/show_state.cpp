// show_state.cpp - saving, restoring and digesting the show's state; the
// player's seeks.
#include "app/show_state.h"

#include <cmath>
#include <cstring>

#include "landscape/landscape.h"
#include "physics/bodies.h"
#include "render/sphere.h"

PlayerState player;

namespace {

// Every soft body of the show; the tiles' bodies included.
template <typename Visit>
void forEachBody(Visit visit) {
    ShowBodies& b = showBodies;
    const SoftBody* bodies[] = {&b.hangingBaubles, &b.drivenBaubles, &b.single1,         &b.single2,
                                &b.finaleBody,     &b.tableLeft,     &b.tableRight,      &b.introCloth.body,
                                &b.finaleCloth.body};
    for (const SoftBody* body : bodies) visit(*body);
}

// Every sphere whose place advancing moves.
template <typename Visit>
void forEachSphere(Visit visit) {
    for (SphereMesh& s : spheres.detailed) visit(s);
    for (SphereMesh& s : spheres.coarse) visit(s);
    visit(spheres.largeBauble);
    visit(spheres.middleBauble);
}

// FNV-1a over the bytes of values, one field at a time (no padding read).
struct Digest {
    uint64_t h = 1469598103934665603ull;
    void bytes(const void* p, size_t n) {
        const unsigned char* c = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i) h = (h ^ c[i]) * 1099511628211ull;
    }
    template <typename T>
    void add(const T& v) {
        bytes(&v, sizeof v);
    }
    void add(const Vec3& v) {
        add(v.x);
        add(v.y);
        add(v.z);
    }
    void add(const Vertex& v) { bytes(v.pos, sizeof v.pos); }
    void add(const TickClock& c) {
        add(c.firstCall);
        add(c.lastTick);
        add(c.backlog);
        add(c.interval);
    }
    void add(const TracedBallState& b) {
        add(b.ballX);
        add(b.ballY);
        add(b.ballVelX);
        add(b.ballVelY);
    }
};

}  // namespace

void saveShowState(ShowSnapshot& s) {
    s.clock = showClock;
    s.timeline = timeline;
    s.flags = showFlags;
    s.drivers = drivers;
    s.physics = physics;
    s.random = showRandom;
    s.ball = tracedBall;
    s.ballShown = tracedBallShown;
    s.valleyPhase = landscape.valleyPhase;
    s.swayPhase = landscape.swayPhase;
    s.swayAtStart = landscape.swayAtStart;
    s.swayedAtStart = landscape.swayedAtStart;
    s.spherePlaces.clear();
    forEachSphere([&](SphereMesh& m) {
        s.spherePlaces.push_back(m.frameStart);
        s.spherePlaces.push_back(m.frameEnd);
    });
    s.particles.clear();
    s.springs.clear();
    s.colliders.clear();
    forEachBody([&](const SoftBody& body) {
        for (Particle* p = body.particles; p; p = p->next) s.particles.push_back(*p);
        for (Spring* p = body.springs; p; p = p->next) s.springs.push_back(*p);
        for (Collider* p = body.colliders; p; p = p->next) s.colliders.push_back(*p);
    });
}

void restoreShowState(const ShowSnapshot& s) {
    showClock = s.clock;
    const bool firstFrame = timeline.firstFrame;
    timeline = s.timeline;
    timeline.firstFrame = firstFrame;
    showFlags = s.flags;
    drivers = s.drivers;
    physics = s.physics;
    showRandom = s.random;
    tracedBall = s.ball;
    tracedBallShown = s.ballShown;
    landscape.valleyPhase = s.valleyPhase;
    landscape.swayPhase = s.swayPhase;
    landscape.swayAtStart = s.swayAtStart;
    landscape.swayedAtStart = s.swayedAtStart;
    size_t place = 0;
    forEachSphere([&](SphereMesh& m) {
        if (place + 2 > s.spherePlaces.size()) return;
        m.frameStart = s.spherePlaces[place++];
        m.frameEnd = s.spherePlaces[place++];
    });
    // The lists never change shape after the load, so the records come back
    // in the order they were saved; the links they carry are the same ones.
    size_t np = 0, ns = 0, nc = 0;
    forEachBody([&](const SoftBody& body) {
        for (Particle* p = body.particles; p && np < s.particles.size(); p = p->next) *p = s.particles[np++];
        for (Spring* p = body.springs; p && ns < s.springs.size(); p = p->next) *p = s.springs[ns++];
        for (Collider* p = body.colliders; p && nc < s.colliders.size(); p = p->next) *p = s.colliders[nc++];
    });
}

uint64_t showStateDigest() {
    Digest d;
    d.add(showClock.frame);
    const TimelineState& t = timeline;
    d.add(t.showStart);
    d.add(t.frameTime);
    d.add(t.lastFrameTime);
    d.add(showFlags.finaleStart);
    for (float f : {t.phaseA, t.phaseB, t.phaseC, t.phaseD, t.phaseE, t.terrainAngle, t.spin, t.spinBefore}) d.add(f);
    d.add(t.cameraVertex);
    d.add(t.cameraRotation);
    d.add(showFlags.bodyScenesStarted);
    d.add(showFlags.flashFlag);
    d.add(showFlags.rampFlag);

    const DriverState& v = drivers;
    for (const TickClock* c : {&v.clockShared, &v.clockFinaleBody, &v.clockTable, &v.clockFinaleCloth}) d.add(*c);
    for (double x : {v.swingPhase, v.swingRate, v.swingAngle, v.spinAngle}) d.add(x);
    for (int32_t x : {v.liftTicks, v.liftApart, v.releaseTicksIntro, v.releaseTicksFinale, v.kickCountdown,
                      v.rampCountdown, v.freezePending})
        d.add(x);
    d.add(v.restTime);
    for (const Vec3& a : v.anchorRow) d.add(a);
    for (const Vec3& a : v.swingTable) d.add(a);

    d.add(physics.gravity);
    d.add(physics.boxMin);
    d.add(physics.boxMax);
    d.add(physics.wallRestitution);
    d.add(physics.floorBounce);
    d.add(physics.dtCoarse);
    d.add(physics.drawKind);
    d.add(physics.bounceCount);
    d.add(showRandom.state);
    d.add(tracedBall);
    d.add(tracedBallShown);
    d.add(landscape.valleyPhase);
    d.add(landscape.swayPhase);
    d.add(landscape.swayAtStart);
    d.add(landscape.swayedAtStart);
    forEachSphere([&](SphereMesh& m) {
        d.add(m.frameStart);
        d.add(m.frameEnd);
    });
    forEachBody([&](const SoftBody& body) {
        for (const Particle* p = body.particles; p; p = p->next) {
            d.add(p->mass);
            d.add(p->flags);
            for (const Vec3* q : {&p->position, &p->velocity, &p->force, &p->savedPosition, &p->savedVelocity})
                d.add(*q);
            d.add(p->radius);
            d.add(p->randomValue);
        }
        for (const Spring* s = body.springs; s; s = s->next) {
            d.add(s->flags);
            d.add(s->stiffness);
            d.add(s->damping);
            d.add(s->restLength);
        }
        for (const Collider* c = body.colliders; c; c = c->next) {
            d.add(c->flags);
            d.add(c->centre);
            d.add(c->radius);
            d.add(c->factor);
        }
    });
    return d.h;
}

uint64_t showFrameAt(double ms) {
    if (!(ms > 0)) return 0;
    // Frame i reads floor(i * 1000 / 120): the first at or after ms.
    uint64_t i = static_cast<uint64_t>(std::ceil(ms * kShowRate / 1000.0));
    while (i > 0 && showFrameMs(i - 1) >= ms) --i;
    while (showFrameMs(i) < ms) ++i;
    return i;
}

uint32_t showFrameMs(uint64_t frame) { return static_cast<uint32_t>(frame * 1000u / kShowRate); }

void startPlayer() {
    player.saved.clear();
    saveShowState(player.saved[showClock.frame]);
}

void advanceShowFrame() {
    const uint64_t next = showClock.frame;
    if (next % player.savedEvery == 0 && !player.saved.count(next)) saveShowState(player.saved[next]);
    advanceFrame();
    advanceFixedClock();
}

void seekShow(uint64_t next, bool (*stop)()) {
    // The latest saved state at or before the one to reach.
    auto best = player.saved.upper_bound(next);
    const bool haveSaved = best != player.saved.begin();
    if (haveSaved) --best;
    const bool aheadOfUs = showClock.frame > next;
    if (haveSaved && (aheadOfUs || best->first > showClock.frame)) restoreShowState(best->second);
    while (showClock.frame < next) {
        if (stop && stop()) return;
        advanceShowFrame();
    }
}
