// show_state.cpp - saving, restoring and digesting the show's state; the
// player's seeks.
#include "app/show_state.h"

#include <cmath>
#include <cstring>
#include <type_traits>

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

// FNV-1a over every field of the records it is given, through each record's
// own field list; a value's bytes one field at a time (no padding read).
// Links between records are made at the load and are no state.
struct Digest {
    uint64_t h = 1469598103934665603ull;
    void bytes(const void* p, size_t n) {
        const unsigned char* c = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i) h = (h ^ c[i]) * 1099511628211ull;
    }
    template <typename T>
    void operator()(const T& v) {
        if constexpr (std::is_pointer_v<T>) {
        } else if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>) {
            bytes(&v, sizeof v);
        } else {
            forEachField(v, *this);
        }
    }
    template <typename T, size_t N>
    void operator()(const T (&a)[N]) {
        for (const T& v : a) (*this)(v);
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
    s.valley = landscape.motion;
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
    timeline = s.timeline;
    showFlags = s.flags;
    drivers = s.drivers;
    physics = s.physics;
    showRandom = s.random;
    tracedBall = s.ball;
    tracedBallShown = s.ballShown;
    landscape.motion = s.valley;
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
    d(showClock);
    d(timeline);
    d(showFlags);
    d(drivers);
    d(physics);
    d(showRandom);
    d(tracedBall);
    d(tracedBallShown);
    d(landscape.motion);
    forEachSphere([&](SphereMesh& m) {
        d(m.frameStart);
        d(m.frameEnd);
    });
    forEachBody([&](const SoftBody& body) {
        for (const Particle* p = body.particles; p; p = p->next) d(*p);
        for (const Spring* s = body.springs; s; s = s->next) d(*s);
        for (const Collider* c = body.colliders; c; c = c->next) d(*c);
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
