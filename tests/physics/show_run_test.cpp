// show_run_test.cpp - every driver through a whole show on the fixed-step
// clock, called as the schedule calls it, at several frame rates: nothing
// blows up or leaves the room, the baubles stay hung, the tablecloth parts,
// the lamp hops; and the same run twice gives the same bits.
#include <cmath>
#include <cstring>

#include "physics_test_util.h"
#include "render/between_ticks.h"
#include "render/sphere.h"
#include "show/room.h"

namespace {

// The show's scene windows as the physics sees them (milliseconds).
constexpr uint32_t kIntroEnd = 25000, kDrivenFrom = 70000, kHangingFrom = 97740, kSingle1From = 120000,
                   kSingle2From = 150000, kTableFrom = 185000, kPicturesFrom = 200000, kFinaleFrom = 220000,
                   kFinaleClothEnd = 250000, kRampAfter = 257000, kRampWindowEnd = 262000, kShowEnd = 300000;

// What a run saw, for the checks.
struct RunLog {
    int frames = 0;
    int tableTicks = 0;
    float tablePinXLeftAt800 = 0, tablePinXRightAt800 = 0;
    double tableMeanXLeftAt800 = 0, tableMeanXRightAt800 = 0;
    bool sawTick800 = false;
    int maxBounce = 0;
    float maxShadeYAfterKick = -10;
    float introSimSeconds = 0, finaleClothSimSeconds = 0;
    float heavyLowest = 10, heavyHighest = -10;  // the hanging scene's heavy bauble, its last two seconds
};

// Mean x of the particles after the head.
double meanX(const Particle* head) {
    double sum = 0;
    int n = 0;
    for (const Particle* p = head->next; p; p = p->next, ++n) sum += p->position.x;
    return sum / n;
}

// One frame of the schedule: the drivers its scene calls, in the scene's
// order, with the bounds the closing pictures' window sets.
void frame(uint32_t e) {
    if (e < kIntroEnd) {
        stepIntroCloth();
    } else if (e < kDrivenFrom) {
        // the landscape: no physics
    } else if (e < kHangingFrom) {
        showFlags.bodyScenesStarted = 1;
        stepDrivenBaubles();
    } else if (e < kSingle1From) {
        stepHangingBaubles();
    } else if (e < kSingle2From) {
        stepSingle1();
    } else if (e < kPicturesFrom) {
        stepSingle2();
        if (e > kTableFrom) stepTablecloth();
    } else if (e < kFinaleFrom) {
        physics.bounds = BoundsRule::Walls;
        stepTablecloth();
        physics.bounds = BoundsRule::Floor;
    } else {
        if (e > kRampAfter && e < kRampWindowEnd) showFlags.rampFlag = 1;
        stepFinaleBody();
        if (e < kFinaleClothEnd) stepFinaleCloth();
    }
}

// Runs the physics of a whole show at fps, noting what the checks need.
RunLog runShow(uint32_t fps) {
    RunLog log;
    useFixedClock(fps, 0);
    const Particle* shade = nthParticle(showBodies.finaleBody.particles, 108);
    for (;; advanceFixedClock()) {
        uint32_t e = clockTicks();
        if (e > kShowEnd) break;
        int lift = drivers.liftTicks;
        frame(e);
        ++log.frames;
        if (lift < 800 && drivers.liftTicks == 800) {
            log.sawTick800 = true;
            log.tablePinXLeftAt800 = nthParticle(showBodies.tableLeft.particles, 1)->position.x;
            log.tablePinXRightAt800 = nthParticle(showBodies.tableRight.particles, 1)->position.x;
            log.tableMeanXLeftAt800 = meanX(showBodies.tableLeft.particles);
            log.tableMeanXRightAt800 = meanX(showBodies.tableRight.particles);
        }
        if (e >= kSingle1From - 2000 && e < kSingle1From) {
            const float y = nthParticle(showBodies.hangingBaubles.particles, 4)->position.y;
            log.heavyLowest = std::min(log.heavyLowest, y);
            log.heavyHighest = std::max(log.heavyHighest, y);
        }
        log.maxBounce = std::max(log.maxBounce, int(physics.bounceCount));
        if (physics.bounceCount > 0) log.maxShadeYAfterKick = std::max(log.maxShadeYAfterKick, shade->position.y);
    }
    log.tableTicks = drivers.liftTicks;
    log.introSimSeconds = drivers.releaseTicksIntro * 2 * dtFine;
    log.finaleClothSimSeconds = drivers.releaseTicksFinale * 2 * dtFine;
    return log;
}

// Every coordinate of every particle, head included, is a number.
void expectFinite(const char* name, const Particle* head) {
    int i = 0;
    for (const Particle* p = head; p; p = p->next, ++i) {
        ASSERT_TRUE(std::isfinite(p->position.x) && std::isfinite(p->position.y) && std::isfinite(p->position.z) &&
                    std::isfinite(p->velocity.x) && std::isfinite(p->velocity.y) && std::isfinite(p->velocity.z))
            << name << " particle " << i;
    }
}

// Every particle after the head within `limit` of the room's centre on each axis.
void expectInRoom(const char* name, const Particle* head, float limit) {
    int i = 1;
    for (const Particle* p = head->next; p; p = p->next, ++i) {
        EXPECT_LE(std::fabs(p->position.x), limit) << name << " particle " << i;
        EXPECT_LE(std::fabs(p->position.y), limit) << name << " particle " << i;
        EXPECT_LE(std::fabs(p->position.z), limit) << name << " particle " << i;
    }
}

// Letter tiles: each stays in one piece and falls no further than free fall
// from its start with its release kick would take it.
void expectTilesSane(const LetterCloth& cloth, const std::vector<Vec3>& starts, float simSeconds) {
    const float reach = 0.5f * 10.0f * simSeconds * simSeconds + 1.0f * simSeconds + 1.0f;
    for (int k = 0; k < cloth.tileCount; ++k) {
        const Particle* first = tileFirstParticle(cloth, k);
        const Particle* p = first;
        for (int i = 0; i < 6; ++i, p = p->next) {
            EXPECT_LT(length(p->position - first->position), 2.0f) << "tile " << k << " came apart";
            EXPECT_LT(length(p->position - starts[k]), reach) << "tile " << k;
        }
    }
    // The marker's ball rests in the room.
    const Particle* marker = cloth.body.particles->next;
    EXPECT_LE(std::fabs(marker->position.x), 1.0f);
    EXPECT_GE(marker->position.y, -1.0f);
}

class WholeShow : public PhysicsTest, public ::testing::WithParamInterface<uint32_t> {};

}  // namespace

TEST_P(WholeShow, EveryBodyStaysSaneAndPlaysItsScript) {
    const uint32_t fps = GetParam();
    buildShowBodies();
    std::vector<Vec3> introStarts, finaleStarts;
    for (int k = 0; k < 17; ++k) introStarts.push_back(tileFirstParticle(showBodies.introCloth, k)->position);
    for (int k = 0; k < 15; ++k) finaleStarts.push_back(tileFirstParticle(showBodies.finaleCloth, k)->position);
    const float pinXLeft0 = nthParticle(showBodies.tableLeft.particles, 1)->position.x;

    RunLog log = runShow(fps);
    EXPECT_EQ(log.frames, int(uint64_t(kShowEnd) * fps / 1000 + 1));

    for (const NamedBody& nb : allBodies()) expectFinite(nb.name, nb.body->particles);
    if (HasFatalFailure()) return;

    // Bodies held by the room's box (spheres, the floor rule) stay in it.
    expectInRoom("hanging baubles", showBodies.hangingBaubles.particles, 1.1f);
    expectInRoom("driven baubles", showBodies.drivenBaubles.particles, 1.1f);
    expectInRoom("single 1", showBodies.single1.particles, 1.1f);
    expectInRoom("single 2", showBodies.single2.particles, 1.1f);
    expectInRoom("finale body", showBodies.finaleBody.particles, 1.5f);

    // The hanging baubles still hang below the common point on their strings.
    auto hang = particleVector(showBodies.hangingBaubles.particles);
    for (int b = 0; b < 9; ++b) {
        if (b == 1) continue;  // the heavy one flies free by design
        const Particle* bob = hang[2 + 2 * b];
        EXPECT_LT(length(bob->position - Vec3(0, 0.6f, 0)), 1.0f) << "bauble " << b + 1;
        EXPECT_LT(bob->position.y, 0.6f) << "bauble " << b + 1;
    }
    // The heavy one has come to rest on the floor by the end of its scene,
    // its drawn surface touching it.
    EXPECT_NEAR(log.heavyLowest - 0.13f, kRoomMin.y, 0.005f);
    EXPECT_NEAR(log.heavyHighest - 0.13f, kRoomMin.y, 0.005f);
    auto driven = particleVector(showBodies.drivenBaubles.particles);
    for (int b = 0; b < 9; ++b)
        EXPECT_LT(length(driven[2 + 2 * b]->position - driven[1 + 2 * b]->position), 1.0f) << "driven " << b + 1;

    // The tablecloth lifted, waited, then parted after tick 800.
    ASSERT_TRUE(log.sawTick800) << log.tableTicks << " tablecloth ticks";
    EXPECT_FLOAT_EQ(log.tablePinXLeftAt800, pinXLeft0);
    const int parting = log.tableTicks - 800;
    const Particle* pinL = nthParticle(showBodies.tableLeft.particles, 1);
    const Particle* pinR = nthParticle(showBodies.tableRight.particles, 1);
    EXPECT_NEAR(pinL->position.x, log.tablePinXLeftAt800 - 0.008 * parting, 1e-3 * parting);
    EXPECT_NEAR(pinR->position.x, log.tablePinXRightAt800 + 0.008 * parting, 1e-3 * parting);
    // Not only the pins: each half as a whole moved apart.
    EXPECT_LT(meanX(showBodies.tableLeft.particles), log.tableMeanXLeftAt800 - 0.004 * parting);
    EXPECT_GT(meanX(showBodies.tableRight.particles), log.tableMeanXRightAt800 + 0.004 * parting);
    for (const SoftBody* half : {&showBodies.tableLeft, &showBodies.tableRight}) {
        Vec3 pins;
        for (int j = 1; j <= 10; ++j) pins += nthParticle(half->particles, j)->position * 0.1f;
        for (const Particle* p = half->particles->next; p; p = p->next)
            EXPECT_LT(length(p->position - pins), 3.0f) << "a tablecloth half tore";
    }

    // The lamp rested and was kicked up more than once.
    EXPECT_GE(log.maxBounce, 2);
    EXPECT_GT(log.maxShadeYAfterKick, 0.3f);

    expectTilesSane(showBodies.introCloth, introStarts, log.introSimSeconds);
    expectTilesSane(showBodies.finaleCloth, finaleStarts, log.finaleClothSimSeconds);
}

INSTANTIATE_TEST_SUITE_P(FrameRates, WholeShow, ::testing::Values(30u, 60u, 120u, 1000u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return std::to_string(info.param) + "fps";
                         });

// Positions of every body, as raw bits.
static std::vector<float> allPositions() {
    std::vector<float> out;
    for (const NamedBody& nb : allBodies()) {
        auto s = stateOf(nb.body->particles);
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

TEST_F(PhysicsTest, SameShowTwiceGivesTheSameBits) {
    buildShowBodies();
    runShow(120);
    std::vector<float> first = allPositions();
    uint32_t randomAfter = showRandom.state;
    resetAll();
    buildShowBodies();
    runShow(120);
    std::vector<float> second = allPositions();
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(0, std::memcmp(first.data(), second.data(), first.size() * sizeof(float)));
    EXPECT_EQ(showRandom.state, randomAfter);
}

// Every bauble that knocks the others does so at the size it is drawn: the
// sum of two drawn radii is where their contact begins.
TEST(BaubleColliders, CollideAtTheSizeTheyAreDrawn) {
    buildShowBodies();
    buildShowSpheres(0);
    for (const SoftBody* body : {&showBodies.hangingBaubles, &showBodies.drivenBaubles}) {
        int k = 0;
        for (const Collider* c = body->colliders; c && k < kSphereArray; c = c->next) {
            if (!(c->flags & CF_ACTIVE)) continue;
            EXPECT_FLOAT_EQ(c->radius, spheres.detailed[k].radius) << "bauble " << k;
            ++k;
        }
        EXPECT_EQ(k, kSphereArray);
    }
}

// Drawn between ticks, over the falling sheet's first 200 ticks: every
// particle of every body stands on the segment from its place before the
// last tick to its place now, as far along as its clock has run; the sheet
// and its bauble really move between ticks; and afterwards every place is
// back bit for bit.
class BetweenTicks : public PhysicsTest {};

// True when v lies between a and b on every axis (within rounding).
bool onSpan(float a, float b, float v) { return v >= std::min(a, b) - 1e-6f && v <= std::max(a, b) + 1e-6f; }

TEST_F(BetweenTicks, DrawnPlacesLieBetweenTheTicksAndAreGivenBack) {
    buildShowBodies();
    buildShowSpheres(0);
    useFixedClock(120, 0);
    while (clockTicks() < kSingle1From) {
        frame(clockTicks());
        advanceFixedClock();
    }
    int ticks = 0, framesMoved = 0, outside = 0, notGivenBack = 0;
    for (int32_t lastBacklog = drivers.clockShared.backlog; ticks < 200; advanceFixedClock()) {
        frame(clockTicks());
        if (drivers.clockShared.backlog < lastBacklog) ++ticks;
        lastBacklog = drivers.clockShared.backlog;
        std::vector<Particle> kept;
        for (const Particle* p = showBodies.single1.particles; p; p = p->next) kept.push_back(*p);
        const Vec3 sphereKept = spheres.largeBauble.frameEnd;
        {
            const PlacesBetweenTicks between(SceneWindow::SingleBauble1);
            const float t = tickFraction(drivers.clockShared);
            bool moved = false;
            size_t i = 0;
            for (const Particle* p = showBodies.single1.particles; p; p = p->next, ++i) {
                const Vec3 from = kept[i].tickStart, to = kept[i].position;
                if (!onSpan(from.x, to.x, p->position.x) || !onSpan(from.y, to.y, p->position.y) ||
                    !onSpan(from.z, to.z, p->position.z) || length(p->position - (from + (to - from) * t)) > 1e-5f)
                    ++outside;
                if (length(p->position - to) > 1e-6f) moved = true;
            }
            framesMoved += moved;
        }
        size_t i = 0;
        for (const Particle* p = showBodies.single1.particles; p; p = p->next, ++i)
            if (std::memcmp(&p->position, &kept[i].position, sizeof(Vec3)) != 0) ++notGivenBack;
        if (std::memcmp(&spheres.largeBauble.frameEnd, &sphereKept, sizeof(Vec3)) != 0) ++notGivenBack;
    }
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(notGivenBack, 0);
    // At 120 frames a second and a tick every 60 ms, most frames fall
    // between ticks, and there the sheet stands short of its ticked place.
    EXPECT_GT(framesMoved, 200 * 7 / 2);
}
