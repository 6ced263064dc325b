// builders_test.cpp - the bodies as built at start-up: sizes, which lattice
// points the spring families join, measured rest lengths, pins, the shared
// tables, the tile-to-glyph link, the random draws and the list operations.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>

#include "physics_test_util.h"

namespace {

using Pair = std::tuple<int, int, int32_t>;  // first end, second end, flags

// (first index, second index, flags) of every spring after the head.
std::vector<Pair> springPairs(const SoftBody& body) {
    std::map<const Particle*, int> index;
    int i = 0;
    for (const Particle* p = body.particles; p; p = p->next) index[p] = i++;
    std::vector<Pair> out;
    for (const Spring* s = body.springs->next; s; s = s->next) out.emplace_back(index[s->a], index[s->b], s->flags);
    return out;
}

// One family by geometry: pairs (r, j) -> (r + dr, j + dj) for start points in
// a rectangle of the lattice (written from the look of the sheet, not the builder).
struct Family {
    int dr, dj;
    int r0, r1, j0, j1;  // start rows and columns, inclusive
};
const Family kFamilies[14] = {
    {0, 1, 0, 9, 0, 8},  // neighbours along every row
    {0, 2, 0, 8, 0, 7},  // and 2..5 apart, on ever fewer rows
    {0, 3, 0, 7, 0, 6},  {0, 4, 0, 6, 0, 5}, {0, 5, 0, 5, 0, 4},
    {1, 0, 0, 8, 0, 9},  // neighbours down every column: 9 spans
    {2, 0, 0, 6, 0, 9},  // 7, 5, 4 and 3 spans per column
    {3, 0, 0, 4, 0, 9},  {4, 0, 0, 3, 0, 9}, {5, 0, 0, 2, 0, 9},
    {1, 1, 0, 8, 0, 8},    // every down-right diagonal
    {2, 2, 0, 7, 0, 7},    // every long down-right diagonal
    {1, -1, 0, 8, 1, 9},   // every down-left diagonal
    {2, -2, 0, 7, 3, 9},   // long down-left diagonals from column 3 on
};

// The expected springs of one lattice pass, with the given flags per family.
std::multiset<Pair> expectedLattice(const int32_t flags[14]) {
    std::multiset<Pair> out;
    for (int f = 0; f < 14; ++f) {
        const Family& fam = kFamilies[f];
        for (int r = fam.r0; r <= fam.r1; ++r)
            for (int j = fam.j0; j <= fam.j1; ++j)
                out.emplace(10 * r + j + 1, 10 * (r + fam.dr) + (j + fam.dj) + 1, flags[f]);
    }
    return out;
}

// How many springs each family has, from the rectangles.
int familySize(int f) {
    const Family& fam = kFamilies[f];
    return (fam.r1 - fam.r0 + 1) * (fam.j1 - fam.j0 + 1);
}

// Checks the springs of one lattice pass starting at `first`: the right set
// of pairs, and each family's block in family order.
void expectLatticePass(const std::vector<Pair>& pairs, size_t first, const int32_t flags[14], const char* what) {
    ASSERT_GE(pairs.size(), first + 852) << what;
    std::multiset<Pair> got(pairs.begin() + first, pairs.begin() + first + 852);
    EXPECT_TRUE(got == expectedLattice(flags)) << what;
    size_t at = first;
    for (int f = 0; f < 14; ++f) {
        const Family& fam = kFamilies[f];
        for (int i = 0; i < familySize(f); ++i, ++at) {
            int d = std::get<1>(pairs[at]) - std::get<0>(pairs[at]);
            ASSERT_EQ(d, 10 * fam.dr + fam.dj) << what << ": family " << f + 1 << " spring " << i;
        }
    }
}

// The show's generator, written again from its definition.
struct Lcg {
    uint32_t state = 1;
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

const int32_t kSheetFlags[14] = {0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1};

}  // namespace

TEST_F(PhysicsTest, EveryBodyHasTheRecordCountsOfItsScene) {
    buildShowBodies();
    struct Want {
        const SoftBody* body;
        int particles, springs, colliders;
    };
    const Want want[] = {
        {&showBodies.hangingBaubles, 19, 19, 10}, {&showBodies.drivenBaubles, 19, 19, 10},
        {&showBodies.single1, 101, 1705, 102},    {&showBodies.single2, 101, 1705, 102},
        {&showBodies.finaleBody, 109, 873, 3},    {&showBodies.tableLeft, 101, 853, 1},
        {&showBodies.tableRight, 101, 853, 1},    {&showBodies.introCloth.body, 104, 137, 2},
        {&showBodies.finaleCloth.body, 92, 121, 2},
    };
    for (const Want& w : want) {
        EXPECT_EQ(countParticles(w.body->particles), w.particles);
        EXPECT_EQ(countSprings(w.body->springs), w.springs);
        EXPECT_EQ(countColliders(w.body->colliders), w.colliders);
        // Every list opens with its head records.
        EXPECT_EQ(w.body->particles->flags, PF_HEAD);
        EXPECT_EQ(w.body->colliders->flags, CF_PASSIVE);
        EXPECT_EQ(w.body->springs->a, w.body->particles);
        EXPECT_EQ(w.body->springs->b, w.body->particles);
        EXPECT_EQ(w.body->springs->stiffness, 0.0f);
    }
    EXPECT_EQ(showBodies.introCloth.tileCount, 17);
    EXPECT_EQ(showBodies.finaleCloth.tileCount, 15);
}

TEST_F(PhysicsTest, SheetSpringFamiliesJoinTheRightLatticePoints) {
    buildShowBodies();
    // The single sheets: every family twice, as two whole passes.
    for (const SoftBody* body : {&showBodies.single1, &showBodies.single2}) {
        auto pairs = springPairs(*body);
        ASSERT_EQ(pairs.size(), 1704u);
        expectLatticePass(pairs, 0, kSheetFlags, "sheet, first pass");
        expectLatticePass(pairs, 852, kSheetFlags, "sheet, second pass");
        for (const Spring* s = body->springs->next; s; s = s->next) {
            EXPECT_EQ(s->damping, 6.0f);
            EXPECT_EQ(s->stiffness, 100.0f);
        }
    }
    // The tablecloth halves: once, the row families contracting.
    const int32_t tableFlags[14] = {4, 5, 5, 5, 5, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    for (const SoftBody* body : {&showBodies.tableLeft, &showBodies.tableRight}) {
        auto pairs = springPairs(*body);
        ASSERT_EQ(pairs.size(), 852u);
        expectLatticePass(pairs, 0, tableFlags, "tablecloth");
        for (const Spring* s = body->springs->next; s; s = s->next) {
            EXPECT_EQ(s->damping, 4.0f);
            EXPECT_EQ(s->stiffness, 100.0f);
        }
        // Only springs along rows contract; the last spring is a column type.
        for (const Pair& p : pairs) {
            bool alongRow = (std::get<0>(p) - 1) / 10 == (std::get<1>(p) - 1) / 10;
            EXPECT_EQ((std::get<2>(p) & SF_CONTRACT) != 0, alongRow);
        }
        EXPECT_EQ(std::get<2>(pairs.back()) & SF_CONTRACT, 0);
    }
    // The finale grid: once, then the lamp's twenty springs.
    auto pairs = springPairs(showBodies.finaleBody);
    ASSERT_EQ(pairs.size(), 872u);
    expectLatticePass(pairs, 0, kSheetFlags, "finale grid");
    const Pair lamp[20] = {
        {102, 104, 1}, {103, 105, 1}, {102, 103, 1}, {103, 104, 1}, {104, 105, 1}, {105, 102, 1}, {102, 106, 1},
        {103, 106, 1}, {104, 106, 1}, {105, 106, 1}, {102, 107, 1}, {103, 107, 1}, {104, 107, 1}, {105, 107, 1},
        {106, 107, 2}, {107, 108, 2}, {105, 108, 1}, {102, 108, 1}, {103, 108, 1}, {104, 108, 1},
    };
    for (int i = 0; i < 20; ++i) EXPECT_EQ(pairs[852 + i], lamp[i]) << "lamp spring " << i + 1;
    // The places the driver and the drawing name are the builder's.
    EXPECT_EQ(lamp[0], Pair(kLampSlabFirst, kLampSlabFirst + 2, 1));
    EXPECT_EQ(lamp[14], Pair(kLampStandFoot, kLampStandTop, 2));
    EXPECT_EQ(lamp[15], Pair(kLampStandTop, kLampShade, 2));
    EXPECT_EQ(nthParticle(showBodies.finaleBody.particles, kFinaleBall)->mass, 0.45f);
}

TEST_F(PhysicsTest, RestLengthsAreTheDistancesAtCreation) {
    buildShowBodies();
    for (const NamedBody& nb : allBodies()) {
        bool bauble = nb.body == &showBodies.hangingBaubles || nb.body == &showBodies.drivenBaubles;
        for (const Spring* s = nb.body->springs->next; s; s = s->next) {
            Vec3 d = s->a->position - s->b->position;
            double dist = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
            // Bauble strings are zero-length springs: the bob hangs by its weight.
            double want = bauble ? 0.0 : dist;
            EXPECT_NEAR(s->restLength, want, 1e-6) << nb.name;
            if (!bauble) {
                EXPECT_GT(s->restLength, 0.0f) << nb.name;
            }
        }
    }
    // A sheet built this way starts without elastic force: only gravity acts.
    const SoftBody& sheet = showBodies.single1;
    physics.gravity = Vec3();
    accumulateForces(sheet.particles, sheet.springs);
    for (const Particle* p = sheet.particles->next; p; p = p->next) EXPECT_LT(length(p->force), 1e-4f);
}

TEST_F(PhysicsTest, BaubleBodiesHangAsTabled) {
    buildShowBodies();
    // Hanging: pins fixed, eight strings from the common point, the heavy one free.
    auto hang = particleVector(showBodies.hangingBaubles.particles);
    for (int b = 0; b < 9; ++b) {
        EXPECT_EQ(hang[1 + 2 * b]->flags, PF_FIXED);
        EXPECT_EQ(hang[2 + 2 * b]->flags, PF_DYNAMIC | PF_HAS_COLLIDER);
        if (b != 1) {
            EXPECT_EQ(hang[1 + 2 * b]->position.y, 0.6f);
            EXPECT_EQ(hang[1 + 2 * b]->position.x, 0.0f);
        }
    }
    EXPECT_EQ(hang[4]->mass, 20.0f);
    EXPECT_EQ(hang[4]->velocity.x, -2.5f);
    const Spring* s = showBodies.hangingBaubles.springs->next;
    for (int b = 0; b < 9; ++b)
        for (int twice = 0; twice < 2; ++twice, s = s->next) {
            EXPECT_EQ(s->b, hang[2 + 2 * b]);
            EXPECT_EQ(s->a, b == 1 ? hang[4] : hang[1 + 2 * b]);
            EXPECT_EQ(s->stiffness, b == 1 ? 101.0f : 50.5f);
            EXPECT_EQ(s->damping, 4.2f);
        }

    // Driven: the k-th driven particle is the pin whose rest position is swingTable[k].
    const double sq = std::sqrt(2.0) * 0.1;
    const double pins[8][2] = {{sq, 0}, {-sq, 0}, {0, -sq}, {-0.1, -0.1}, {-0.1, 0.1}, {0, sq}, {0.1, 0.1}, {0.1, -0.1}};
    int k = 0;
    for (const Particle* p = showBodies.drivenBaubles.particles; p; p = p->next) {
        if (!(p->flags & PF_DRIVEN)) continue;
        ASSERT_LT(k, 8);
        EXPECT_EQ(p->flags, PF_DRIVEN | PF_FIXED);
        EXPECT_NEAR(drivers.swingTable[k].x, pins[k][0], 1e-7);
        EXPECT_EQ(drivers.swingTable[k].y, 0.6f);
        EXPECT_NEAR(drivers.swingTable[k].z, pins[k][1], 1e-7);
        EXPECT_EQ(p->position.x, drivers.swingTable[k].x);
        EXPECT_EQ(p->position.z, drivers.swingTable[k].z);
        EXPECT_EQ(p->next->position.y, -0.2f);  // its bob hangs below it
        ++k;
    }
    EXPECT_EQ(k, 8);
    EXPECT_EQ(drivers.swingTable[8].x, 0.0f);
    // The central ball stands still at the origin.
    const Collider* ball = showBodies.drivenBaubles.colliders->next->next;
    EXPECT_EQ(ball->particle, nullptr);
    EXPECT_EQ(ball->radius, 0.13f);
    EXPECT_EQ(ball->flags, CF_ACTIVE | 0x04);
    followParticles(showBodies.drivenBaubles.colliders);
    EXPECT_EQ(ball->centre.x, 0.0f);
    EXPECT_EQ(showBodies.drivenBaubles.colliders->next->centre.x, static_cast<float>(sq));
}

TEST_F(PhysicsTest, AnchorRowEndsAsTheFinaleGridsFirstRow) {
    buildSingle1();
    EXPECT_EQ(drivers.anchorRow[3].y, 0.6f);  // each sheet builder leaves its own row
    resetAll();
    buildShowBodies();
    for (int j = 0; j < 10; ++j) {
        EXPECT_NEAR(drivers.anchorRow[j].x, (j - 5) / 10.0, 1e-7);
        EXPECT_EQ(drivers.anchorRow[j].y, 0.0f);
        EXPECT_EQ(drivers.anchorRow[j].z, 0.0f);
    }
}

TEST_F(PhysicsTest, LetterTilesCarryTheirGlyphsAndStartBowed) {
    buildShowBodies();
    const LetterCloth& intro = showBodies.introCloth;
    const LetterCloth& finale = showBodies.finaleCloth;
    EXPECT_EQ(std::string(intro.letter, 17), "morvinalsultypakh");
    EXPECT_EQ(std::string(finale.letter, 14), "amigarulez1994");
    EXPECT_EQ(finale.glyph[13], 13);
    EXPECT_EQ(finale.glyph[14], -1);  // the extra tile shows nothing
    // First tile of each intro row at its corner; the rows are the three words.
    EXPECT_NEAR(tileFirstParticle(intro, 0)->position.x, -0.3, 1e-6);
    EXPECT_NEAR(tileFirstParticle(intro, 8)->position.y, -0.15, 1e-6);
    EXPECT_NEAR(tileFirstParticle(intro, 13)->position.y, -0.45, 1e-6);
    // Tile k starts with z velocity 0.6 sin(23 degrees * (k + 1)).
    for (int k = 0; k < 17; ++k) {
        double want = 0.6 * std::sin((k + 1) * 23.0 * M_PI / 180.0);
        EXPECT_NEAR(tileFirstParticle(intro, k)->velocity.z, want, 1e-5) << k;
    }
    EXPECT_EQ(tileFirstParticle(finale, 14)->velocity.z, tileFirstParticle(finale, 13)->velocity.z);
    EXPECT_NEAR(tileFirstParticle(finale, 14)->position.x, 10.08, 1e-5);
    // Corners in drawing order: upper left, upper right, lower right, lower left.
    const Particle* c = tileFirstParticle(intro, 16);
    const float s = 0.25f;
    EXPECT_NEAR(c->next->position.x - c->position.x, s, 1e-6);
    EXPECT_NEAR(c->next->next->position.y - c->position.y, -s, 1e-6);
    EXPECT_NEAR(c->next->next->next->position.x, c->position.x, 1e-6);
    // Only the marker's ball has a particle; the box pulls the marker in at once.
    const Collider* ball = intro.body.colliders->next;
    EXPECT_EQ(ball->particle, intro.body.particles->next);
    resolveContacts(intro.body.particles, intro.body.colliders);
    EXPECT_FLOAT_EQ(ball->particle->position.x, 0.875f);
    EXPECT_FLOAT_EQ(ball->particle->position.z, 1.125f);
}

TEST_F(PhysicsTest, BuildingDrawsTheShowSequenceInCallOrder) {
    buildShowBodies();
    // The first draws of the sequence are known values of this generator.
    const Particle* head = showBodies.hangingBaubles.particles;
    EXPECT_EQ(head->randomValue, 41 / 32767.0);
    const Collider* headCollider = showBodies.hangingBaubles.colliders;
    EXPECT_EQ(headCollider->random[0], float(18467 / 32767.0));
    EXPECT_EQ(headCollider->random[1], float(6334 / 32767.0));
    EXPECT_EQ(headCollider->random[2], float(26500 / 32767.0));
    EXPECT_EQ(head->next->randomValue, 19169 / 32767.0);

    // One draw per particle, three per collider, one discarded per tile.
    long draws = 0;
    for (const NamedBody& nb : allBodies())
        draws += countParticles(nb.body->particles) + 3 * countColliders(nb.body->colliders);
    draws += 17 + 15;
    Lcg lcg;
    for (long i = 0; i < draws; ++i) lcg.next();
    EXPECT_EQ(showRandom.state, lcg.state);
}

TEST_F(PhysicsTest, ListOperationsKeepOrderAndFallBackToTheHead) {
    SoftBody body = makeHeads(false);
    EXPECT_EQ(lastParticle(body.particles), body.particles);
    EXPECT_EQ(nthParticle(body.particles, 0), body.particles);
    for (int i = 1; i <= 3; ++i) addParticle(body.particles, float(i), PF_DYNAMIC, Vec3(float(i), 0, 0), Vec3(), 0.0);
    EXPECT_EQ(nthParticle(body.particles, 2)->mass, 2.0f);
    EXPECT_EQ(lastParticle(body.particles)->mass, 3.0f);
    EXPECT_EQ(nthParticle(body.particles, 4), body.particles);  // past the end: the head, not null
    EXPECT_EQ(nthParticle(body.particles, 100), body.particles);

    Particle* p = nthParticle(body.particles, 1);
    p->flags = PF_DYNAMIC | PF_LIGHT;
    addCollider(body.colliders, 0.1f, Vec3(), 1.0f, CF_ACTIVE, p);
    EXPECT_EQ(p->flags, PF_DYNAMIC | PF_LIGHT | PF_HAS_COLLIDER);
    EXPECT_EQ(lastCollider(body.colliders)->particle, p);

    // Coincident ends: rest length 0 and no force.
    Spring* s = addSpring(body.springs, 1.0f, 0.0f, 50.0f, p, p, 0);
    EXPECT_EQ(s->restLength, 0.0f);
    Spring* kept = addSpringWithRest(body.springs, 1.0f, 0.7f, 50.0f, p, nthParticle(body.particles, 2));
    EXPECT_EQ(kept->restLength, 0.7f);
    EXPECT_EQ(kept->flags, 0);
    EXPECT_EQ(body.springs->next, s);
    EXPECT_EQ(s->next, kept);
}

// Stands in for an allocator that has run out.
static void* noMemory(std::size_t) { return nullptr; }

TEST(PhysicsDeathTest, RunningOutOfMemoryIsReportedAsAFailure) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            releaseAllRecords();
            records.allocate = noMemory;
            buildShowBodies();
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "out of memory");
}
