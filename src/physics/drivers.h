// drivers.h - time stepping of the physical scenes. Each scene's step calls
// its driver once per frame; the driver turns wall-clock time into whole
// physics ticks of a fixed dt (at most one tick per call, one per 60 ms) and
// plays the scene's script: swinging and turning pins, releasing letter
// tiles, lifting and parting the tablecloth, kicking the finale's lamp.
// Simulated time does not depend on the frame rate; only how soon a backlog
// is worked off does.
#pragma once

#include <cstdint>

#include "math/vec3.h"
#include "physics/model.h"

// One tick clock: milliseconds of show clock not yet turned into ticks.
struct TickClock {
    uint8_t firstCall = 1;
    uint32_t lastTick = 0;  // show clock at the previous call
    int32_t backlog = 0;
    int32_t interval = 60;  // milliseconds per tick
};

struct DriverState {
    // Clock 1 is shared by the intro cloth, both bauble scenes and both single
    // bodies, so its backlog carries from one scene to the next.
    TickClock clockShared;     // clock 1
    TickClock clockFinaleBody; // clock 2
    TickClock clockTable;      // clock 3
    TickClock clockFinaleCloth;// clock 4

    double swingPhase = 0.0;
    double swingRate = 0.03490658503988659;  // pi / 90
    double swingAngle = 0.0;
    double spinAngle = 0.0;
    int32_t liftTicks = 0;
    int32_t liftApart = 0;
    int32_t releaseTicksIntro = 0;
    int32_t releaseTicksFinale = 0;
    int32_t kickCountdown = 0;
    float restTime = 0.0f;
    int32_t rampCountdown = 10;
    int32_t freezePending = 1;

    Vec3 anchorRow[10];   // a sheet's first row; the finale body's after start-up
    Vec3 swingTable[9];   // the driven pins' rest positions
};
extern DriverState drivers;
template <class Visit>
void forEachField(const TickClock& c, Visit&& visit) {
    visit(c.firstCall);
    visit(c.lastTick);
    visit(c.backlog);
    visit(c.interval);
}
template <class Visit>
void forEachField(const DriverState& d, Visit&& visit) {
    visit(d.clockShared);
    visit(d.clockFinaleBody);
    visit(d.clockTable);
    visit(d.clockFinaleCloth);
    visit(d.swingPhase);
    visit(d.swingRate);
    visit(d.swingAngle);
    visit(d.spinAngle);
    visit(d.liftTicks);
    visit(d.liftApart);
    visit(d.releaseTicksIntro);
    visit(d.releaseTicksFinale);
    visit(d.kickCountdown);
    visit(d.restTime);
    visit(d.rampCountdown);
    visit(d.freezePending);
    visit(d.anchorRow);
    visit(d.swingTable);
}

// Time steps of the drivers (the bauble scenes use physics.dtCoarse).
constexpr float dtFine = 0.00225f;
constexpr float dtLift = 0.00325f;

// The finale lamp's kick directions, one per completed rest; 7 to 9 are zero.
extern const Vec3 kickTable[10];
// The kick of the finale's ramp.
extern const Vec3 rampKick;
// kickTable[i], or a zero vector for any index outside the table.
Vec3 kickFor(int32_t bounce);

// The gate: true when this call may run one tick (consumes one interval).
bool gateTick(TickClock& clock);

// The eight drivers, called once per frame by their scenes' steps.
void stepIntroCloth();
void stepHangingBaubles();
void stepDrivenBaubles();
void stepSingle1();
void stepSingle2();
void stepTablecloth();
void stepFinaleCloth();
void stepFinaleBody();

// Frees a letter cloth's pins in pairs, each pair with one random velocity;
// a pin with fewer than two particles after it stays pinned.
void releasePins(const SoftBody& body);

// One tick of each driver without its gate (tests and benchmarks).
void tickIntroCloth();
void tickHangingBaubles();
void tickDrivenBaubles();
void tickSingle1();
void tickSingle2();
void tickTablecloth();
void tickFinaleCloth();
void tickFinaleBody();

// Back to the values at load (tests).
void resetDriverState();
