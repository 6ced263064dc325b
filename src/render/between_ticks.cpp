// between_ticks.cpp - the drawn places of the soft bodies between ticks.
#include "render/between_ticks.h"

#include <vector>

#include "physics/bodies.h"
#include "render/shortcuts.h"
#include "render/sphere.h"

namespace {

struct BodyClock {
    const SoftBody* body;
    const TickClock* clock;
};

// Every soft body with the clock that ticks it.
template <typename Visit>
void forEachTickedBody(Visit visit) {
    ShowBodies& b = showBodies;
    DriverState& d = drivers;
    const BodyClock all[] = {
        {&b.introCloth.body, &d.clockShared}, {&b.hangingBaubles, &d.clockShared}, {&b.drivenBaubles, &d.clockShared},
        {&b.single1, &d.clockShared},         {&b.single2, &d.clockShared},        {&b.tableLeft, &d.clockTable},
        {&b.tableRight, &d.clockTable},       {&b.finaleBody, &d.clockFinaleBody}, {&b.finaleCloth.body, &d.clockFinaleCloth},
    };
    for (const BodyClock& bc : all) visit(*bc.body, *bc.clock);
}

// The exact places, kept while a frame is drawn at the places between.
// Sized at the first frame; the bodies never change shape after the load.
struct KeptPlaces {
    std::vector<Vec3> particles, colliders, spheres;
};
KeptPlaces kept;

// Both of a sphere's places at its collider's place: lit and drawn there.
void standSpheresAt(SphereMesh* array, const Collider* colliders) {
    int k = 0;
    for (const Collider* c = colliders; c && k < kSphereArray; c = c->next) {
        if (!(c->flags & CF_ACTIVE)) continue;
        array[k].frameStart = array[k].frameEnd = c->centre;
        ++k;
    }
}

void standSingleSphereAt(SphereMesh& s, const Collider* colliders) {
    for (const Collider* c = colliders; c; c = c->next)
        if (c->flags & CF_ACTIVE) {
            s.frameStart = s.frameEnd = c->centre;
            return;
        }
}

}  // namespace

float tickFraction(const TickClock& clock) {
    if (clock.interval <= 0 || clock.backlog >= clock.interval) return 1.0f;
    if (clock.backlog <= 0) return 0.0f;
    return static_cast<float>(clock.backlog) / static_cast<float>(clock.interval);
}

PlacesBetweenTicks::PlacesBetweenTicks(SceneWindow window) {
    if (!drawingChoices.betweenTicks) return;
    active_ = true;
    kept.particles.clear();
    kept.colliders.clear();
    kept.spheres.clear();
    forEachTickedBody([](const SoftBody& body, const TickClock& clock) {
        const float t = tickFraction(clock);
        for (Particle* p = body.particles; p; p = p->next) {
            kept.particles.push_back(p->position);
            p->position = p->tickStart + (p->position - p->tickStart) * t;
        }
        for (Collider* c = body.colliders; c; c = c->next) {
            kept.colliders.push_back(c->centre);
            if (c->particle && (c->flags & CF_ACTIVE)) c->centre = c->particle->position;
        }
    });
    forEachSphere([](SphereMesh& s) {
        kept.spheres.push_back(s.frameStart);
        kept.spheres.push_back(s.frameEnd);
    });
    const ShowBodies& b = showBodies;
    switch (window) {
        case SceneWindow::DrivenStrings:
        case SceneWindow::HangingBauble: {
            const Collider* c = window == SceneWindow::DrivenStrings ? b.drivenBaubles.colliders : b.hangingBaubles.colliders;
            standSpheresAt(spheres.detailed, c);
            standSpheresAt(spheres.coarse, c);
            break;
        }
        case SceneWindow::SingleBauble1:
            standSingleSphereAt(spheres.largeBauble, b.single1.colliders);
            break;
        case SceneWindow::SingleBauble2:
            standSingleSphereAt(spheres.middleBauble, b.single2.colliders);
            break;
        default:
            break;
    }
}

PlacesBetweenTicks::~PlacesBetweenTicks() {
    if (!active_) return;
    size_t np = 0, nc = 0, ns = 0;
    forEachTickedBody([&](const SoftBody& body, const TickClock&) {
        for (Particle* p = body.particles; p; p = p->next) p->position = kept.particles[np++];
        for (Collider* c = body.colliders; c; c = c->next) c->centre = kept.colliders[nc++];
    });
    forEachSphere([&](SphereMesh& s) {
        s.frameStart = kept.spheres[ns++];
        s.frameEnd = kept.spheres[ns++];
    });
}
