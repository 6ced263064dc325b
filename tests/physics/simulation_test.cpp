// simulation_test.cpp - the physics step against physics: free fall, a
// spring-mass oscillator, elastic knocks, bounces off a standing sphere, the
// room's walls, and the finale's floor rule.
#include <cmath>

#include "physics_test_util.h"

namespace {

// A body with only its head records.
SoftBody emptyBody() { return makeHeads(false); }

// Appends a particle and returns it.
Particle* add(const SoftBody& body, float mass, int32_t flags, Vec3 pos, Vec3 vel) {
    addParticle(body.particles, mass, flags, pos, vel, 0.0);
    return lastParticle(body.particles);
}

// Appends a ball that follows p (or stands still when p is null).
Collider* addBall(const SoftBody& body, float radius, Vec3 centre, float factor, Particle* p) {
    addCollider(body.colliders, radius, centre, factor, CF_ACTIVE | 0x04, p);
    return lastCollider(body.colliders);
}

}  // namespace

TEST_F(PhysicsTest, HeadParticleFallsUnderGravity) {
    buildShowBodies();
    const Particle* head = showBodies.hangingBaubles.particles;
    const int ticks = 200;
    for (int i = 0; i < ticks; ++i) tickHangingBaubles();
    double t = ticks * 0.016;
    EXPECT_NEAR(head->velocity.y, -10.0 * t, 1e-3 * 10.0 * t);
    // The step lands each position with the new velocity, so it runs ahead of
    // free fall by one step in ticks: within 1 % after 200 ticks.
    EXPECT_NEAR(head->position.y, -0.5 * 10.0 * t * t, 0.01 * 0.5 * 10.0 * t * t);
    EXPECT_EQ(head->position.x, 0.0f);
    // A light particle falls with its own, weaker pull.
    SoftBody body = emptyBody();
    Particle* light = add(body, 2.0f, PF_LIGHT | PF_DYNAMIC, Vec3(), Vec3());
    physics.bounds = BoundsRule::Walls;  // walls only, far away
    for (int i = 0; i < 10; ++i) physicsStep(body, 0.01f);
    EXPECT_NEAR(light->velocity.y, -4.0 * 0.1, 1e-5);
}

TEST_F(PhysicsTest, FixedParticlesNeverMove) {
    SoftBody body = emptyBody();
    Particle* pin = add(body, 1.0f, PF_FIXED, Vec3(0.1f, 0.2f, 0.3f), Vec3(1, 0, 0));
    Particle* lightPin = add(body, 1.0f, PF_FIXED | PF_LIGHT, Vec3(0.5f, 0.5f, 0.5f), Vec3());
    Particle* bob = add(body, 1.0f, PF_DYNAMIC, Vec3(0.1f, -0.5f, 0.3f), Vec3());
    addSpring(body.springs, 1.0f, 0.1f, 40.0f, pin, bob, 0);
    addSpring(body.springs, 1.0f, 0.1f, 40.0f, lightPin, bob, 0);
    for (int i = 0; i < 500; ++i) physicsStep(body, dtFine);
    EXPECT_EQ(pin->position.y, 0.2f);
    EXPECT_EQ(pin->velocity.x, 1.0f);
    EXPECT_EQ(lightPin->position.x, 0.5f);
    EXPECT_NE(bob->position.y, -0.5f);
}

// A vertical spring-mass oscillator with the sheets' constants and dt: it
// swings at the analytic (damped) period, never gains energy, and with the
// sheets' damping loses it at the analytic rate.
TEST_F(PhysicsTest, SpringMassOscillatorKeepsItsPeriodAndNeverGainsEnergy) {
    for (float damping : {0.0f, 6.0f}) {
        resetAll();
        const float m = 0.25f, k = 100.0f, rest = 0.3f, g = 10.0f;
        SoftBody body = emptyBody();
        body.particles->flags = PF_FIXED | PF_HEAD;  // keep the head out of it
        Particle* pin = add(body, 1.0f, PF_FIXED, Vec3(0, 0.5f, 0), Vec3());
        Particle* bob = add(body, m, PF_DYNAMIC, Vec3(0, 0.5f - rest - 0.1f, 0), Vec3());
        addSpring(body.springs, damping, rest, k, pin, bob, 0);
        const double yEq = 0.5 - rest - m * g / k;
        // Energy about the equilibrium: kinetic plus the shifted spring.
        auto energy = [&] {
            double x = bob->position.y - yEq;
            double v = bob->velocity.y;
            return 0.5 * m * v * v + 0.5 * k * x * x;
        };
        const double omega0 = std::sqrt(k / m);
        const double gamma = damping / (2.0 * m);
        const double period = 2.0 * M_PI / std::sqrt(omega0 * omega0 - gamma * gamma);
        const double e0 = energy();

        std::vector<double> crossings;  // times the bob passes equilibrium
        std::vector<double> energies{e0};
        double prevX = bob->position.y - yEq;
        const int steps = static_cast<int>(3 * period / dtFine);
        for (int i = 1; i <= steps; ++i) {
            physicsStep(body, dtFine);
            double x = bob->position.y - yEq;
            if ((prevX < 0) != (x < 0) && std::sqrt(2 * energies.back() / k) > 1e-4)
                crossings.push_back((i - 1 + prevX / (prevX - x)) * dtFine);
            prevX = x;
            energies.push_back(energy());
            EXPECT_LE(energies.back(), e0 * (1 + 1e-4)) << "damping " << damping << " step " << i;
            EXPECT_EQ(bob->position.x, 0.0f);
        }
        ASSERT_GE(crossings.size(), 3u) << "damping " << damping;
        double halfPeriods = (crossings.back() - crossings.front()) / (crossings.size() - 1);
        // At this dt the step runs about 1 % slow once the damping is in.
        EXPECT_NEAR(2 * halfPeriods, period, 0.02 * period) << "damping " << damping;
        // One period later both x and v have shrunk by exp(-gamma T).
        const size_t oneT = static_cast<size_t>(std::lround(period / dtFine));
        double decay = std::log(energies[oneT] / e0);
        if (damping == 0) {
            EXPECT_LT(decay, 0.0);
            EXPECT_GT(decay, -0.5);  // a slow numerical loss only
        } else {
            EXPECT_NEAR(decay, -2 * gamma * oneT * dtFine, 0.05 * 2 * gamma * oneT * dtFine);
        }
    }
}

TEST_F(PhysicsTest, HeadOnKnockExchangesNormalVelocities) {
    SoftBody body = emptyBody();
    Particle* a = add(body, 1.0f, PF_DYNAMIC, Vec3(-0.06f, 0, 0), Vec3(1.0f, 0.3f, 0));
    Particle* b = add(body, 1.0f, PF_DYNAMIC, Vec3(0.06f, 0, 0), Vec3(-0.5f, 0, 0.2f));
    addBall(body, 0.05f, Vec3(), 1.0f, a);
    addBall(body, 0.05f, Vec3(), 1.0f, b);
    followParticles(body.colliders);
    resolveContacts(body.particles, body.colliders);
    // Equal masses swap the velocity along the line of centres, keep the rest.
    EXPECT_NEAR(a->velocity.x, -0.5f, 1e-6);
    EXPECT_NEAR(b->velocity.x, 1.0f, 1e-6);
    EXPECT_NEAR(a->velocity.y, 0.3f, 1e-6);
    EXPECT_NEAR(b->velocity.z, 0.2f, 1e-6);
    EXPECT_LT(a->position.x, -0.06f + 1e-7);  // nudged back, never into the other
}

TEST_F(PhysicsTest, UnequalKnockConservesMomentumAndEnergy) {
    SoftBody body = emptyBody();
    const float m1 = 5.8f, m2 = 20.0f;
    Particle* a = add(body, m1, PF_DYNAMIC, Vec3(0, 0, -0.1f), Vec3(0, 0, 2.0f));
    Particle* b = add(body, m2, PF_DYNAMIC, Vec3(0, 0, 0.02f), Vec3(0, 0, -1.0f));
    addBall(body, 0.05f, Vec3(), 1.0f, a);
    addBall(body, 0.065f, Vec3(), 1.0f, b);
    followParticles(body.colliders);
    double p0 = m1 * a->velocity.z + m2 * b->velocity.z;
    double e0 = 0.5 * m1 * a->velocity.z * a->velocity.z + 0.5 * m2 * b->velocity.z * b->velocity.z;
    resolveContacts(body.particles, body.colliders);
    double p1 = m1 * a->velocity.z + m2 * b->velocity.z;
    double e1 = 0.5 * m1 * a->velocity.z * a->velocity.z + 0.5 * m2 * b->velocity.z * b->velocity.z;
    EXPECT_NEAR(p1, p0, 1e-4);
    EXPECT_NEAR(e1, e0, 1e-4);
    EXPECT_LT(a->velocity.z, 0.0f);  // the light one bounces back
}

TEST_F(PhysicsTest, BallOffAStandingSphereReflects) {
    SoftBody body = emptyBody();
    Particle* ball = add(body, 1.0f, PF_DYNAMIC, Vec3(0.2f, 0.05f, 0), Vec3(-2.0f, 0.0f, 0.5f));
    addBall(body, 0.05f, Vec3(), 1.0f, ball);
    addBall(body, 0.13f, Vec3(), 0.5f, nullptr);  // standing, takes half the speed
    followParticles(body.colliders);
    Vec3 v0 = ball->velocity;
    Vec3 n = ball->position;
    normalise(n);
    resolveContacts(body.particles, body.colliders);
    Vec3 v1 = ball->velocity;
    // Mirror image about the contact normal, scaled by the sphere's factor.
    EXPECT_NEAR(dot(v1, n), -0.5f * dot(v0, n), 1e-5);
    Vec3 t0 = v0 - n * dot(v0, n), t1 = v1 - n * dot(v1, n);
    EXPECT_NEAR(t1.x, 0.5f * t0.x, 1e-5);
    EXPECT_NEAR(t1.z, 0.5f * t0.z, 1e-5);
    EXPECT_GT(dot(v1, n), 0.0f);
}

TEST_F(PhysicsTest, DroppedBallBouncesOnAStandingBallWithoutSinkingIn) {
    SoftBody body = emptyBody();
    Particle* ball = add(body, 0.25f, PF_DYNAMIC, Vec3(0, 0.6f, 0), Vec3());
    addBall(body, 0.05f, Vec3(), 1.0f, ball);
    addBall(body, 0.25f, Vec3(), 1.0f, nullptr);
    float minGap = 1.0f;
    bool rose = false;
    for (int i = 0; i < 200; ++i) {
        physicsStep(body, 0.016f);
        minGap = std::min(minGap, length(ball->position) - 0.3f);
        rose = rose || ball->velocity.y > 0.5f;
    }
    EXPECT_TRUE(rose);
    EXPECT_GT(minGap, -0.02f);
}

TEST_F(PhysicsTest, TheBoxClampsAndReverses) {
    SoftBody body = emptyBody();
    Particle* right = add(body, 1.0f, PF_DYNAMIC, Vec3(1.2f, 0, 0), Vec3(1.0f, 0.5f, 0));
    Particle* low = add(body, 1.0f, PF_DYNAMIC, Vec3(0, -1.5f, 0), Vec3(0, -2.0f, 0));
    Particle* far = add(body, 1.0f, PF_DYNAMIC, Vec3(0, 0, 1.2f), Vec3(0, 0, 1.0f));
    Particle* nearFar = add(body, 1.0f, PF_DYNAMIC, Vec3(0.5f, 0, 1.02f), Vec3(0, 0, 1.0f));
    Particle* loose = add(body, 1.0f, PF_DYNAMIC, Vec3(3.0f, 0, 0), Vec3());
    for (Particle* p : {right, low, far, nearFar}) addBall(body, 0.05f, Vec3(), 1.0f, p);
    resolveContacts(body.particles, body.colliders);
    EXPECT_FLOAT_EQ(right->position.x, 0.95f);
    EXPECT_FLOAT_EQ(right->velocity.x, -0.8f);
    EXPECT_FLOAT_EQ(right->velocity.y, 0.5f);
    EXPECT_FLOAT_EQ(low->position.y, -0.95f);
    EXPECT_FLOAT_EQ(low->velocity.y, 1.6f);
    // The far z wall lets a ball through by its radius.
    EXPECT_FLOAT_EQ(far->position.z, 1.05f);
    EXPECT_FLOAT_EQ(far->velocity.z, -0.8f);
    EXPECT_FLOAT_EQ(nearFar->position.z, 1.02f);
    EXPECT_EQ(loose->position.x, 3.0f);  // no sphere, no box
    // The sphere ends on its particle.
    EXPECT_EQ(body.colliders->next->centre.x, right->position.x);
}

TEST_F(PhysicsTest, FloorRuleHoldsTheFigureAndSinksWithItsRests) {
    SoftBody body = emptyBody();
    body.particles->flags = PF_FIXED | PF_HEAD;
    Particle* p = add(body, 1.0f, PF_DYNAMIC | PF_LIGHT, Vec3(0, -0.01f, 0), Vec3(0.5f, -2.0f, 0.3f));
    Particle* onlyDynamic = add(body, 1.0f, PF_DYNAMIC, Vec3(0, -0.5f, 0), Vec3(0, -1, 0));
    Particle* onlyLight = add(body, 1.0f, PF_LIGHT, Vec3(0, -0.5f, 0), Vec3(0, -1, 0));
    physics.bounds = BoundsRule::Floor;
    resolveContacts(body.particles, body.colliders);
    // y to -0.002, y velocity times -0.1, then all of it times 0.22.
    EXPECT_FLOAT_EQ(p->position.y, -0.002f);
    EXPECT_NEAR(p->velocity.x, 0.11f, 1e-6);
    EXPECT_NEAR(p->velocity.y, 0.044f, 1e-6);
    EXPECT_NEAR(p->velocity.z, 0.066f, 1e-6);
    EXPECT_EQ(onlyDynamic->position.y, -0.5f);
    EXPECT_EQ(onlyLight->position.y, -0.5f);
    EXPECT_EQ(physics.boxMin.y, -1.0f);  // the bounds are put back

    // After two rests the floor is at -0.1, damping 0.2.
    physics.bounceCount = 2;
    p->position = Vec3(0, -0.05f, 0);
    resolveContacts(body.particles, body.colliders);
    EXPECT_EQ(p->position.y, -0.05f);
    p->position = Vec3(1.5f, -0.2f, 0);  // beyond two walls: damped twice
    p->velocity = Vec3(1.0f, -1.0f, 0);
    resolveContacts(body.particles, body.colliders);
    EXPECT_FLOAT_EQ(p->position.x, 1.0f);
    EXPECT_FLOAT_EQ(p->position.y, -0.1f);
    EXPECT_NEAR(p->velocity.x, -0.1f * 0.2f * 0.2f, 1e-7);
    EXPECT_NEAR(p->velocity.y, 0.1f * 0.2f * 0.2f, 1e-7);
    EXPECT_FLOAT_EQ(physics.floorBounce, 0.1f);

    // After six the floor is the room's and the bounce stays lively for good.
    physics.bounceCount = 6;
    p->position = Vec3(0, -1.2f, 0);
    p->velocity = Vec3(0, -1.0f, 0);
    resolveContacts(body.particles, body.colliders);
    EXPECT_FLOAT_EQ(p->position.y, -1.0f);
    EXPECT_NEAR(p->velocity.y, 0.7f * 0.2f, 1e-6);
    physics.bounceCount = 0;
    resolveContacts(body.particles, body.colliders);
    EXPECT_FLOAT_EQ(physics.floorBounce, 0.7f);
    EXPECT_EQ(physics.boxMin.y, -1.0f);
}

TEST_F(PhysicsTest, TableclothRuleUsesTheWallsWithoutRadius) {
    SoftBody body = emptyBody();
    body.particles->flags = PF_FIXED | PF_HEAD;
    Particle* p = add(body, 1.0f, PF_DYNAMIC | PF_LIGHT, Vec3(0, -1.5f, 0), Vec3(0.5f, -2.0f, 0));
    physics.bounds = BoundsRule::Walls;
    resolveContacts(body.particles, body.colliders);
    EXPECT_EQ(p->position.y, -1.0f);
    EXPECT_FLOAT_EQ(p->velocity.y, 1.6f);
    EXPECT_EQ(p->velocity.x, 0.5f);  // no damping under this rule
    // A standing sphere holds the particle inside it.
    addCollider(body.colliders, 0.5f, Vec3(), 1.0f, CF_ACTIVE, nullptr);
    p->position = Vec3(0.8f, 0, 0);
    p->velocity = Vec3(1.0f, 0, 0);
    resolveContacts(body.particles, body.colliders);
    EXPECT_LT(p->position.x, 0.8f);
}
