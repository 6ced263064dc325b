// drivers.cpp - the tick clocks and the eight scene drivers.
#include "physics/drivers.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "show/show_clock.h"
#include "show/show_flags.h"
#include "math/random.h"
#include "physics/bodies.h"
#include "physics/simulation.h"

DriverState drivers;

namespace {

const Vec3 kK1(-0.32f, 0.8f, 0.0f);
const Vec3 kK2(-0.32f, 0.8f, 0.3f);
const Vec3 kK3(-0.32f, 0.8f, 0.1f);

}  // namespace

const Vec3 kickTable[10] = {
    kK1 * 1.4f, kK1 * 0.7f, kK1 * 1.4f, kK1 * 0.8f, kK2 * 0.8f, kK3, kK1 * 2.5f, Vec3(), Vec3(), Vec3(),
};
const Vec3 rampKick(0.336f, 0.16f, 0.56f);

Vec3 kickFor(int32_t bounce) {
    if (bounce < 0 || bounce >= 10) return Vec3();  // past the table the lamp stays at rest
    return kickTable[bounce];
}

void resetDriverState() { drivers = DriverState(); }

namespace {

// Adds elapsed milliseconds to a backlog without overflowing it.
int32_t addToBacklog(int32_t backlog, uint32_t elapsed) {
    int64_t sum = static_cast<int64_t>(backlog) + elapsed;
    if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(sum);
}

// The rest of the gate once firstCall is dealt with.
bool gateAfterFirstCall(TickClock& clock) {
    clock.backlog = addToBacklog(clock.backlog, clockTicks() - clock.lastTick);
    clock.lastTick = clockTicks();  // a fresh reading, as the clock is read twice
    if (clock.backlog < clock.interval) return false;
    clock.backlog -= clock.interval;
    return true;
}

// The tablecloth's gate. At its first call it starts clock 1 instead of its
// own, so its first backlog is the whole clock value and it then ticks once
// per frame for a long while: the lift and the parting are timed by that.
bool gateTablecloth() {
    TickClock& clock = drivers.clockTable;
    if (clock.firstCall) {
        drivers.clockShared.lastTick = clockTicks();
        clock.firstCall = 0;
    }
    return gateAfterFirstCall(clock);
}

// The position of a rest position t turned by angle a about the vertical axis.
Vec3 turnAboutY(const Vec3& t, double a) {
    double c = std::cos(a);
    double s = std::sin(a);
    return Vec3(static_cast<float>(c * t.x - s * t.z), t.y, static_cast<float>(s * t.x + c * t.z));
}

// Forces and both half-steps of a body, without the contact pass.
void integrate(Particle* particles, Spring* springs, float dt) {
    accumulateForces(particles, springs);
    halfStep(particles, dt);
    accumulateForces(particles, springs);
    fullStep(particles, dt);
}

// Follow, contacts, follow: the end of a physics step.
void contacts(const SoftBody& body) {
    followParticles(body.colliders);
    resolveContacts(body.particles, body.colliders);
    followParticles(body.colliders);
}

// One tick of a letter cloth: the release at its tick, then two fine steps.
void tickLetterCloth(const SoftBody& body, int32_t& counter, int32_t releaseAt) {
    ++counter;
    if (counter == releaseAt) releasePins(body);
    physicsStep(body, dtFine);
    physicsStep(body, dtFine);
}

}  // namespace

void releasePins(const SoftBody& body) {
    Particle* p = body.particles;
    while (p && p->next && p->next->next) {
        if (p->flags & PF_FIXED) {
            p->flags &= ~PF_FIXED;
            float r1 = static_cast<float>(0.5 - showRandUnit());
            float r2 = static_cast<float>(0.5 - showRandUnit());
            float r3 = static_cast<float>(0.5 - showRandUnit());
            Vec3 v(r1, r2, r3);
            p->velocity = v;
            p = p->next;
            p->flags &= ~PF_FIXED;
            p->velocity = v;
        }
        p = p->next;
    }
}

bool gateTick(TickClock& clock) {
    if (clock.firstCall) {
        clock.lastTick = clockTicks();
        clock.firstCall = 0;
    }
    return gateAfterFirstCall(clock);
}

void tickIntroCloth() { tickLetterCloth(showBodies.introCloth.body, drivers.releaseTicksIntro, 50); }

void tickFinaleCloth() { tickLetterCloth(showBodies.finaleCloth.body, drivers.releaseTicksFinale, 80); }

void tickHangingBaubles() { physicsStep(showBodies.hangingBaubles, physics.dtCoarse); }

void tickDrivenBaubles() {
    if (showFlags.bodyScenesStarted != 1) return;  // the interval is spent all the same
    const SoftBody& body = showBodies.drivenBaubles;
    physicsStep(body, physics.dtCoarse);

    drivers.swingPhase += 0.01;
    if (drivers.swingPhase > 2.0) {
        drivers.swingRate = -drivers.swingRate;
        drivers.swingPhase = 0.0;
    }
    drivers.swingAngle += drivers.swingRate * 1.1;

    int k = 0;
    for (Particle* p = body.particles; p && p->next; p = p->next) {
        if (!(p->flags & PF_DRIVEN)) continue;
        if (k < 9) p->position = turnAboutY(drivers.swingTable[k], drivers.swingAngle);
        ++k;
    }
}

void tickSingle1() { physicsStep(showBodies.single1, dtFine); }

void tickSingle2() {
    const SoftBody& body = showBodies.single2;
    physicsStep(body, dtFine);
    drivers.spinAngle -= (3.14159265358979323846 / 90.0) / 3.4;
    // The first row is placed, not pinned: its velocity keeps feeding the
    // springs' damping, which is part of how the sheet swings.
    for (int i = 0; i < 10; ++i)
        nthParticle(body.particles, i + 1)->position = turnAboutY(drivers.anchorRow[i], drivers.spinAngle);
}

namespace {

// Moves every pinned particle of a list except the last by delta.
void movePins(Particle* head, const Vec3& delta) {
    for (Particle* p = head; p && p->next; p = p->next)
        if (p->flags & PF_FIXED) p->position = p->position + delta;
}

// Shortens every contracting spring of a list except the last.
void contractRows(Spring* head) {
    for (Spring* s = head; s && s->next; s = s->next)
        if (s->flags & SF_CONTRACT) s->restLength = s->restLength * 0.995f;
}

}  // namespace

void tickTablecloth() {
    const SoftBody& left = showBodies.tableLeft;
    const SoftBody& right = showBodies.tableRight;
    ++drivers.liftTicks;
    if (drivers.liftTicks < 300) {
        movePins(left.particles, Vec3(0.0f, 0.005f, 0.0f));
        movePins(right.particles, Vec3(0.0f, 0.005f, 0.0f));
    }
    drivers.liftApart = drivers.liftTicks > 800 ? 1 : 0;
    if (drivers.liftApart) {
        contractRows(left.springs);
        movePins(left.particles, Vec3(-0.008f, 0.0f, 0.0f));
        contractRows(right.springs);
        movePins(right.particles, Vec3(0.008f, 0.0f, 0.0f));
    }
    integrate(left.particles, left.springs, dtLift);
    integrate(right.particles, right.springs, dtLift);
    contacts(left);
    contacts(right);
}

void tickFinaleBody() {
    const SoftBody& body = showBodies.finaleBody;
    Particle* head = body.particles;
    stepFinaleCloth();

    // A rest counts while no kick runs and the slab's corner is down.
    if (drivers.kickCountdown == 0 && nthParticle(head, kLampSlabFirst + 2)->position.y <= 0.04f) drivers.restTime += 0.1f;
    if (drivers.restTime > 9.5f) {
        drivers.restTime = 0.0f;
        drivers.kickCountdown = 30;
        ++physics.bounceCount;
    }

    integrate(head, body.springs, dtFine);
    // The ball and the stiff figure get three more steps per tick.
    Particle* tail = nthParticle(head, kFinaleBall);
    for (int i = 0; i < 3; ++i) integrate(tail, body.springs, dtFine);
    contacts(body);

    if (drivers.kickCountdown != 0) {
        --drivers.kickCountdown;
        double x = std::exp(drivers.kickCountdown / 30.0);
        nthParticle(head, kLampShade)->velocity = kickFor(physics.bounceCount) * static_cast<float>(0.9 * x);
    }
    if (drivers.rampCountdown > 0 && showFlags.rampFlag == 1) {
        --drivers.rampCountdown;
        double x = std::exp(drivers.rampCountdown / 30.0);
        nthParticle(head, kLampShade)->velocity = rampKick * static_cast<float>(1.2 * x);
    }

    // Once the grid has sunk, freeze its middle as the table top. The walk
    // starts at the head itself, so each flag lands one place early; the
    // table's look was tuned with that.
    if (drivers.freezePending != 0 && nthParticle(head, 3)->position.y <= -0.1f) {
        drivers.freezePending = 0;
        Particle* p = head;
        for (int i = 0; i < 10 && p; ++i)
            for (int j = 0; j < 10 && p; ++j) {
                p->flags = (i > 8 || j > 8 || i < 2 || j < 2) ? PF_DYNAMIC : PF_FIXED;
                p = p->next;
            }
    }
}

namespace {

// Each tick starts by noting where its body stands, so the drawing can
// show it between this tick and the next.
void noteTickStart(const SoftBody& body) {
    for (Particle* p = body.particles; p; p = p->next) p->tickStart = p->position;
}

}  // namespace

void stepIntroCloth() {
    if (!gateTick(drivers.clockShared)) return;
    noteTickStart(showBodies.introCloth.body);
    tickIntroCloth();
}
void stepHangingBaubles() {
    if (!gateTick(drivers.clockShared)) return;
    noteTickStart(showBodies.hangingBaubles);
    tickHangingBaubles();
}
void stepDrivenBaubles() {
    if (!gateTick(drivers.clockShared)) return;
    noteTickStart(showBodies.drivenBaubles);
    tickDrivenBaubles();
}
void stepSingle1() {
    if (!gateTick(drivers.clockShared)) return;
    noteTickStart(showBodies.single1);
    tickSingle1();
}
void stepSingle2() {
    if (!gateTick(drivers.clockShared)) return;
    noteTickStart(showBodies.single2);
    tickSingle2();
}
void stepTablecloth() {
    if (!gateTablecloth()) return;
    noteTickStart(showBodies.tableLeft);
    noteTickStart(showBodies.tableRight);
    tickTablecloth();
}
void stepFinaleCloth() {
    if (!gateTick(drivers.clockFinaleCloth)) return;
    noteTickStart(showBodies.finaleCloth.body);
    tickFinaleCloth();
}
void stepFinaleBody() {
    if (!gateTick(drivers.clockFinaleBody)) return;
    noteTickStart(showBodies.finaleBody);
    tickFinaleBody();
}
