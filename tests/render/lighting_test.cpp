// lighting_test.cpp - the software lighting against hand-worked values: the
// cosine law, attenuation and its cap, channel sums, dark lights, and the
// highlight with the show's own reflection vector.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "render/lighting.h"

namespace {

// The show's own light maker, with the linear and quadratic terms off by default.
Light makeLight(Vec3 pos, Vec3 colour, float kc, float kl = 0, float kq = 0) {
    return pointLight(pos, colour, kc, kl, kq);
}

// A vertex at p facing along unit normal n.
Vertex facing(Vec3 p, Vec3 n) {
    Vertex v;
    v.setPosition(p);
    v.setNormal(n);
    return v;
}

// A camera record whose viewer stands at world position eye.
Vertex viewerAt(Vec3 eye) {
    Vertex c;
    c.setPosition(Vec3(-eye.x, -eye.y, -eye.z));
    return c;
}

void expectColour(const Vertex& v, float r, float g, float b, float tol = 1e-6f) {
    EXPECT_NEAR(v.colour[0], r, tol);
    EXPECT_NEAR(v.colour[1], g, tol);
    EXPECT_NEAR(v.colour[2], b, tol);
}

TEST(LightVertex, NoLightsGiveBlackOverWhatWasThere) {
    Vertex v = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));  // colour starts at 1
    lightVertex(v, nullptr, 0);
    expectColour(v, 0, 0, 0);
}

TEST(LightVertex, CosineLawAndAttenuation) {
    const Vertex base = facing(Vec3(1, 2, 3), Vec3(0, 0, 1));
    // Straight ahead at distance 1, no fall-off.
    Light near = makeLight(Vec3(1, 2, 4), Vec3(0.5f, 0.5f, 0.5f), 1.0f);
    Vertex v = base;
    lightVertex(v, &near, 1);
    expectColour(v, 0.5f, 0.5f, 0.5f);
    // Distance 10 with kl = 0.1 halves it.
    Light far = makeLight(Vec3(1, 2, 13), Vec3(0.5f, 0.5f, 0.5f), 1.0f, 0.1f);
    v = base;
    lightVertex(v, &far, 1);
    expectColour(v, 0.25f, 0.25f, 0.25f);
    // 60 degrees off the normal at distance 2: the cosine is divided by the distance.
    Light slanted = makeLight(Vec3(1 + std::sqrt(3.0f), 2, 4), Vec3(1, 0.5f, 0.2f), 1.0f);
    v = base;
    lightVertex(v, &slanted, 1);
    expectColour(v, 0.5f, 0.25f, 0.1f);
}

TEST(LightVertex, AttenuationNeverBrightens) {
    // 1 / (0.7 + tiny) would be 1.43; the light acts at full strength instead.
    Light l = makeLight(Vec3(0, 0.5f, 0), Vec3(0.5f, 0.4f, 0.3f), 0.7f, 0.001f, 0.001f);
    Vertex v = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));
    lightVertex(v, &l, 1);
    expectColour(v, 0.5f, 0.4f, 0.3f);
}

TEST(LightVertex, ChannelSumsCapAboveButNotBelow) {
    const Vertex base = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));
    // Two lights of 0.8 make 1.6, stored as 1; other channels sum normally.
    Light two[2] = {makeLight(Vec3(0, 1, 0), Vec3(0.8f, 0.2f, 0.0f), 1.0f),
                    makeLight(Vec3(0, 2, 0), Vec3(0.8f, 0.3f, 0.0f), 1.0f)};
    Vertex v = base;
    lightVertex(v, two, 2);
    expectColour(v, 1.0f, 0.5f, 0.0f);
    // A dark light can take a channel below zero, and that is what is stored.
    Light dark[2] = {makeLight(Vec3(0, 1, 0), Vec3(0.5f, 0.5f, 0.5f), 1.0f),
                     makeLight(Vec3(0, 3, 0), Vec3(-0.7f, 0.0f, -0.2f), 1.0f)};
    v = base;
    lightVertex(v, dark, 2);
    expectColour(v, -0.2f, 0.5f, 0.3f);
}

TEST(LightVertex, LightsBehindOrOnTheVertexAddNothing) {
    const Vertex base = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));
    Light lights[4] = {
        makeLight(Vec3(0, 1, 0), Vec3(0.4f, 0.4f, 0.4f), 1.0f),     // lit
        makeLight(Vec3(0, -1, 0), Vec3(-0.7f, -0.7f, -0.7f), 1.0f), // behind, dark: still nothing
        makeLight(Vec3(3, 0, 0), Vec3(0.9f, 0.9f, 0.9f), 1.0f),     // grazing, cosine 0
        makeLight(Vec3(0, 0, 0), Vec3(0.9f, 0.9f, 0.9f), 1.0f),     // on the vertex: 0/0
    };
    Vertex v = base;
    lightVertex(v, lights, 4);
    expectColour(v, 0.4f, 0.4f, 0.4f);
}

TEST(AddSpecular, OnTheReflectionLineAddsTheCappedColour) {
    // Light 1 above the vertex along its normal: the reflection vector is the normal.
    Light l = makeLight(Vec3(0, 1, 0), Vec3(0.4f, 0.8f, 2.0f), 1.0f);
    Vertex v = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));
    lightVertex(v, &l, 1);
    addSpecular(v, &l, 1, viewerAt(Vec3(0, 5, 0)));
    // Diffuse (0.4, 0.8, 1) plus highlight (0.4, 0.8, capped 1): channels may pass 1.
    expectColour(v, 0.8f, 1.6f, 2.0f);
}

TEST(AddSpecular, SixteenthPowerOfTheCosine) {
    Light l = makeLight(Vec3(0, 1, 0), Vec3(1.0f, 0.5f, 0.0f), 1.0f);
    Vertex v = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));
    v.colour[0] = v.colour[1] = v.colour[2] = 0.0f;
    // The viewer 0.9 in cosine off the reflection line.
    const float side = std::sqrt(1.0f - 0.81f);
    addSpecular(v, &l, 1, viewerAt(Vec3(side * 4, 0.9f * 4, 0)));
    const float p16 = std::pow(0.9f, 16.0f);  // about 0.185
    EXPECT_NEAR(p16, 0.185f, 0.001f);
    expectColour(v, p16, 0.5f * p16, 0.0f, 1e-5f);
}

TEST(AddSpecular, ReflectsTheUnnormalisedLightVector) {
    // Light at (1, 1, 0) over a floor: cosine 1/sqrt2, and the reflection
    // vector is 2*cs*n - L = (-1, sqrt2 - 1, 0), not the mirror image (-1, 1, 0).
    Light l = makeLight(Vec3(1, 1, 0), Vec3(1, 1, 1), 1.0f);
    const Vertex base = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));
    const float k = std::sqrt(2.0f) - 1.0f;
    Vertex v = base;
    v.colour[0] = v.colour[1] = v.colour[2] = 0.0f;
    addSpecular(v, &l, 1, viewerAt(Vec3(-3, 3 * k, 0)));
    expectColour(v, 1, 1, 1, 1e-4f);
    // From the textbook mirror direction the highlight is much weaker.
    v = base;
    v.colour[0] = v.colour[1] = v.colour[2] = 0.0f;
    addSpecular(v, &l, 1, viewerAt(Vec3(-3, 3, 0)));
    const double c = (1.0 + k) / (std::sqrt(2.0) * std::sqrt(1.0 + k * k));
    EXPECT_NEAR(v.colour[0], std::pow(c, 16.0), 1e-4);
    EXPECT_LT(v.colour[0], 0.5f);
    // A light three units straight up reflects to -n: a viewer above sees nothing.
    Light high = makeLight(Vec3(0, 3, 0), Vec3(1, 1, 1), 1.0f);
    v = base;
    v.colour[0] = v.colour[1] = v.colour[2] = 0.25f;
    addSpecular(v, &high, 1, viewerAt(Vec3(0, 5, 0)));
    expectColour(v, 0.25f, 0.25f, 0.25f);
}

TEST(AddSpecular, AttenuatedSummedAndDegenerateLights) {
    Vertex v = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));
    v.colour[0] = v.colour[1] = v.colour[2] = 0.0f;
    Light lights[3] = {
        makeLight(Vec3(0, 1, 0), Vec3(0.3f, 0.3f, 0.3f), 1.0f, 1.0f),  // attenuation 1/2
        makeLight(Vec3(0, 1, 0), Vec3(0.3f, 0.3f, 0.3f), 1.0f),        // full
        makeLight(Vec3(0, 0, 0), Vec3(5, 5, 5), 1.0f),                 // on the vertex: skipped
    };
    addSpecular(v, lights, 3, viewerAt(Vec3(0, 2, 0)));
    expectColour(v, 0.45f, 0.45f, 0.45f);
    // A viewer standing on the vertex has no direction: nothing is added.
    Vertex w = facing(Vec3(0, 0, 0), Vec3(0, 1, 0));
    addSpecular(w, lights, 2, viewerAt(Vec3(0, 0, 0)));
    expectColour(w, 1, 1, 1);
}

}  // namespace

namespace {

// Bits of a float: equal colours must be equal to the last bit.
uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

TEST(LightVertices, FourAtATimeGiveEveryVertexItsOwnColourToTheBit) {
    // A small random world: vertices with unit normals in all directions,
    // lights in front and behind, on a vertex, dark and over-bright, with
    // every kind of attenuation; counts that leave a remainder of three.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-3.0f, 3.0f), c(-0.5f, 2.0f), k(0.0f, 0.3f);
    std::vector<Light> lights;
    for (int i = 0; i < 51; ++i)
        lights.push_back(makeLight(Vec3(u(rng), u(rng), u(rng)), Vec3(c(rng), c(rng), c(rng)), k(rng) + 0.05f,
                                   k(rng), k(rng)));
    std::vector<Vertex> one, four;
    for (int v = 0; v < 2047; ++v) {
        Vec3 n(u(rng), u(rng), u(rng));
        n = n * (1.0f / std::sqrt(dot(n, n)));
        one.push_back(facing(Vec3(u(rng), u(rng), u(rng)), n));
    }
    one[5].setPosition(lights[3].position);  // a light sitting on a vertex
    four = one;
    for (Vertex& v : one) lightVertex(v, lights.data(), static_cast<int32_t>(lights.size()));
    lightVertices(four.data(), static_cast<int32_t>(four.size()), lights.data(), static_cast<int32_t>(lights.size()));
    int differing = 0, lit = 0;
    for (size_t v = 0; v < one.size(); ++v) {
        for (int ch = 0; ch < 3; ++ch) differing += bitsOf(one[v].colour[ch]) != bitsOf(four[v].colour[ch]);
        lit += one[v].colour[0] != 0.0f;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(lit, 1000);  // the world is lit, not black
}

}  // namespace
