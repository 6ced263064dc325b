// drivers_test.cpp - the tick clocks and the scripted actions of the scene
// drivers: one tick per 60 ms at most one per call, the shared clock's
// backlog, the idle driven scene, the paired releases, the tablecloth clock,
// the lamp's kicks and the grid freeze.
#include <cmath>

#include "physics_test_util.h"

namespace {

// Ticks run so far by a clock-1 bauble driver, read off its falling head.
int baubleTicks() {
    return static_cast<int>(std::lround(-showBodies.hangingBaubles.particles->velocity.y / (10.0 * 0.016)));
}

}  // namespace

TEST_F(PhysicsTest, TwoCallsWithin60msRunAtMostOneTick) {
    buildShowBodies();
    FakeClock::install(5000);
    // Settle into a steady rhythm, then try every short gap from every phase.
    for (int i = 0; i < 20; ++i) {
        stepHangingBaubles();
        FakeClock::now += 17;
    }
    for (uint32_t gap = 0; gap < 60; gap += 7)
        for (int phase = 0; phase < 8; ++phase) {
            // Work off whatever is due, so the pair starts below one interval.
            FakeClock::now += 60 + 9 * phase;
            for (int due = -1; due != baubleTicks();) {
                due = baubleTicks();
                stepHangingBaubles();
            }
            int before = baubleTicks();
            FakeClock::now += 1;
            stepHangingBaubles();
            FakeClock::now += gap;
            stepHangingBaubles();
            EXPECT_LE(baubleTicks() - before, 1) << "gap " << gap;
        }
    // Even a huge backlog gives one tick per call.
    FakeClock::now += 100000;
    int before = baubleTicks();
    stepHangingBaubles();
    EXPECT_EQ(baubleTicks() - before, 1);
}

TEST_F(PhysicsTest, SharedClockWorksOffAGapOneTickPerCall) {
    buildShowBodies();
    FakeClock::install(0);
    // The intro cloth runs the shared clock steadily...
    for (int i = 0; i < 100; ++i) {
        stepIntroCloth();
        FakeClock::now += 16;
    }
    int32_t carried = drivers.clockShared.backlog;
    ASSERT_LT(carried, 60);
    // ... then 3000 ms pass with no scene on the clock, and the baubles take over.
    FakeClock::now += 3000;
    int64_t backlog = carried;  // what the clock should hold, modelled here
    int calls = 0;
    bool draining = true;
    while (draining) {
        int before = baubleTicks();
        backlog += (calls == 0) ? 3000 + 16 : 16;  // the first call sees the whole gap
        stepHangingBaubles();
        int ran = baubleTicks() - before;
        if (backlog >= 60) {
            EXPECT_EQ(ran, 1) << "call " << calls;
            backlog -= 60;
        } else {
            EXPECT_EQ(ran, 0);
            draining = false;
        }
        FakeClock::now += 16;
        ++calls;
    }
    // 3000 ms plus the calls' own time, at 44 ms net per call.
    EXPECT_NEAR(calls, (3000 + 16 + carried) / 44.0 + 1, 2);
    EXPECT_GT(calls, 60);
}

TEST_F(PhysicsTest, DrivenBaublesBeforeTheBodyScenesOnlySpendTheClock) {
    buildShowBodies();
    FakeClock::install(1000);
    stepDrivenBaubles();  // first call starts the clock
    const SoftBody& body = showBodies.drivenBaubles;
    auto before = stateOf(body.particles);
    FakeClock::now += 250;
    stepDrivenBaubles();
    EXPECT_EQ(drivers.clockShared.backlog, 190);
    EXPECT_EQ(stateOf(body.particles), before);
    EXPECT_EQ(drivers.swingAngle, 0.0);
    // Once the body scenes have begun, a tick moves and turns the pins.
    showFlags.bodyScenesStarted = 1;
    FakeClock::now += 10;
    stepDrivenBaubles();
    EXPECT_NE(stateOf(body.particles), before);
    EXPECT_NEAR(drivers.swingAngle, M_PI / 90 * 1.1, 1e-12);
    int k = 0;
    for (const Particle* p = body.particles; p; p = p->next)
        if (p->flags & PF_DRIVEN) {
            const Vec3& rest = drivers.swingTable[k++];
            // Turned about the vertical axis: same height and radius, angle advanced.
            EXPECT_EQ(p->position.y, 0.6f);
            EXPECT_NEAR(std::hypot(p->position.x, p->position.z), std::hypot(rest.x, rest.z), 1e-6);
            double turned = std::atan2(p->position.z, p->position.x) - std::atan2(rest.z, rest.x);
            EXPECT_NEAR(std::remainder(turned, 2 * M_PI), drivers.swingAngle, 1e-5);
        }
    EXPECT_EQ(k, 8);
}

TEST_F(PhysicsTest, SwingReversesEveryTwoHundredTicks) {
    buildShowBodies();
    showFlags.bodyScenesStarted = 1;
    double maxAngle = 0;
    for (int i = 0; i < 201; ++i) tickDrivenBaubles();
    maxAngle = drivers.swingAngle;
    for (int i = 0; i < 10; ++i) tickDrivenBaubles();
    EXPECT_LT(drivers.swingAngle, maxAngle);
    EXPECT_NEAR(drivers.swingRate, -M_PI / 90, 1e-15);
}

TEST_F(PhysicsTest, ReleaseFreesPinsInPairsWithOneVelocityEach) {
    buildShowBodies();
    const SoftBody& body = showBodies.introCloth.body;
    uint32_t stateBefore = showRandom.state;
    releasePins(body);
    // The same draws, replayed from the generator's definition.
    uint32_t state = stateBefore;
    auto draw = [&] {
        state = state * 214013u + 2531011u;
        return 0.5 - ((state >> 16) & 0x7FFF) / 32767.0;
    };
    int pairs = 0;
    for (int k = 0; k < 17; ++k) {
        const Particle* p1 = tileFirstParticle(showBodies.introCloth, k);
        const Particle* p2 = p1->next;
        const Particle* p5 = p2->next->next->next;
        const Particle* p6 = p5->next;
        EXPECT_FALSE(p1->flags & PF_FIXED);
        EXPECT_FALSE(p2->flags & PF_FIXED);
        float vx = float(draw()), vy = float(draw()), vz = float(draw());  // in this order
        Vec3 v{vx, vy, vz};
        EXPECT_EQ(p1->velocity.x, v.x);
        EXPECT_EQ(p1->velocity.y, v.y);
        EXPECT_EQ(p1->velocity.z, v.z);
        EXPECT_EQ(p2->velocity.x, p1->velocity.x);
        EXPECT_EQ(p2->velocity.z, p1->velocity.z);
        ++pairs;
        if (k == 16) {
            // Too close to the end of the list: the last outer pins stay.
            EXPECT_TRUE(p5->flags & PF_FIXED);
            EXPECT_TRUE(p6->flags & PF_FIXED);
            continue;
        }
        EXPECT_FALSE(p5->flags & PF_FIXED);
        float wx = float(draw()), wy = float(draw()), wz = float(draw());
        Vec3 w{wx, wy, wz};
        EXPECT_EQ(p5->velocity.y, w.y);
        EXPECT_EQ(p6->velocity.x, p5->velocity.x);
        EXPECT_EQ(p6->velocity.y, p5->velocity.y);
        EXPECT_EQ(p6->velocity.z, p5->velocity.z);
        EXPECT_LE(std::fabs(w.x), 0.5f);
        ++pairs;
    }
    EXPECT_EQ(pairs, 33);
    EXPECT_EQ(showRandom.state, state);  // no other draws
}

TEST_F(PhysicsTest, LetterClothsReleaseAtTheirTick) {
    buildShowBodies();
    const LetterCloth& intro = showBodies.introCloth;
    const Particle* pin = tileFirstParticle(intro, 3);
    Vec3 pinAt = pin->position;
    const Particle* corner = pin->next->next;
    Vec3 cornerAt = corner->position;
    for (int i = 0; i < 49; ++i) tickIntroCloth();
    // Before the release only the lower corners swing.
    EXPECT_TRUE(pin->flags & PF_FIXED);
    EXPECT_EQ(pin->position.y, pinAt.y);
    EXPECT_GT(std::fabs(corner->position.z - cornerAt.z), 1e-3f);
    tickIntroCloth();
    EXPECT_FALSE(pin->flags & PF_FIXED);
    const Particle* lastOuter = lastParticle(intro.body.particles);
    Vec3 outerAt = lastOuter->position;
    for (int i = 0; i < 100; ++i) tickIntroCloth();
    EXPECT_LT(pin->position.y, pinAt.y - 0.1f);  // the letters tumble down
    EXPECT_EQ(lastOuter->position.y, outerAt.y);
    // The finale's tiles wait for tick 80.
    for (int i = 0; i < 79; ++i) tickFinaleCloth();
    EXPECT_TRUE(tileFirstParticle(showBodies.finaleCloth, 0)->flags & PF_FIXED);
    tickFinaleCloth();
    EXPECT_FALSE(tileFirstParticle(showBodies.finaleCloth, 0)->flags & PF_FIXED);
}

TEST_F(PhysicsTest, TableclothClockStartsFromTheWholeClockValue) {
    buildShowBodies();
    FakeClock::install(185000);
    stepSingle2();
    FakeClock::now += 8;
    stepSingle2();
    stepTablecloth();
    // It restarts the shared clock and ticks on every call for a long while.
    EXPECT_EQ(drivers.clockShared.lastTick, 185008u);
    EXPECT_EQ(drivers.liftTicks, 1);
    for (int i = 0; i < 1000; ++i) {
        FakeClock::now += 8;
        stepTablecloth();
    }
    EXPECT_EQ(drivers.liftTicks, 1001);
    // The lift ended after 299 ticks: pins rose by 299 * 0.005 and then parted.
    const Particle* pinL = nthParticle(showBodies.tableLeft.particles, 1);
    EXPECT_NEAR(pinL->position.y, -0.9 + 299 * 0.005, 1e-3);
    EXPECT_NEAR(pinL->position.x, -0.6 - 201 * 0.008, 1e-3);
    const Particle* pinR = nthParticle(showBodies.tableRight.particles, 1);
    EXPECT_NEAR(pinR->position.x, -0.5 + 0.795 + 201 * 0.008, 1e-3);
    // Only the rows contracted, by 0.995 per tick since tick 801.
    const Spring* row = showBodies.tableLeft.springs->next;
    EXPECT_NEAR(row->restLength, 0.1 * std::pow(0.995, 201), 1e-5);
}

TEST_F(PhysicsTest, KickStartsAtExp29Over30AndEndsAtOne) {
    buildShowBodies();
    FakeClock::install(0);
    drivers.kickCountdown = 30;
    physics.bounceCount = 0;
    const Particle* shade = nthParticle(showBodies.finaleBody.particles, 108);
    tickFinaleBody();
    const Vec3& k0 = kickTable[0];
    double first = 0.9 * std::exp(29.0 / 30.0);
    EXPECT_NEAR(shade->velocity.x, k0.x * first, 1e-5);
    EXPECT_NEAR(shade->velocity.y, k0.y * first, 1e-5);
    EXPECT_NEAR(first, 2.37, 0.01);
    for (int i = 0; i < 29; ++i) tickFinaleBody();
    EXPECT_EQ(drivers.kickCountdown, 0);
    EXPECT_NEAR(shade->velocity.y, k0.y * 0.9, 1e-5);
    // Past the end of the table a kick is a zero vector, not a stray read.
    physics.bounceCount = 12;
    drivers.kickCountdown = 30;
    tickFinaleBody();
    EXPECT_EQ(shade->velocity.x, 0.0f);
    EXPECT_EQ(shade->velocity.y, 0.0f);
    EXPECT_EQ(kickFor(-1).y, 0.0f);
    EXPECT_EQ(kickFor(6).y, 2.0f);
}

TEST_F(PhysicsTest, RampKickNeedsTheFlagAndLastsTenTicks) {
    buildShowBodies();
    const Particle* shade = nthParticle(showBodies.finaleBody.particles, 108);
    tickFinaleBody();
    EXPECT_EQ(drivers.rampCountdown, 10);
    showFlags.rampFlag = 1;
    tickFinaleBody();
    EXPECT_NEAR(shade->velocity.z, 0.56 * 1.2 * std::exp(9.0 / 30.0), 1e-5);
    for (int i = 0; i < 15; ++i) tickFinaleBody();
    EXPECT_EQ(drivers.rampCountdown, 0);
}

TEST_F(PhysicsTest, GridFreezesOnceItHasSunk) {
    buildShowBodies();
    const SoftBody& body = showBodies.finaleBody;
    int ticks = 0;
    while (drivers.freezePending && ticks < 2000) {
        tickFinaleBody();
        ++ticks;
    }
    ASSERT_EQ(drivers.freezePending, 0);
    EXPECT_LE(nthParticle(body.particles, 3)->position.y, -0.1f);
    // The walk starts at the head: list place n gets the flag of (n / 10, n % 10).
    auto list = particleVector(body.particles);
    for (int n = 0; n < 100; ++n) {
        int i = n / 10, j = n % 10;
        bool rim = i > 8 || j > 8 || i < 2 || j < 2;
        EXPECT_EQ(list[n]->flags, rim ? PF_DYNAMIC : PF_FIXED) << n;
    }
    EXPECT_EQ(list[100]->flags, PF_DYNAMIC);  // the hundredth keeps its own
    // The frozen middle stays put.
    Vec3 middle = list[55]->position;
    for (int i = 0; i < 50; ++i) tickFinaleBody();
    EXPECT_EQ(list[55]->position.y, middle.y);
}
