// scene_steps_test.cpp - the bauble scenes' lighting: which red the upper
// light carries on each bauble, the highlight on the large bauble alone and
// its saturation, judged on vertices only the upper light reaches.
#include <gtest/gtest.h>

#include "render/scene_steps.h"

namespace {

Vertex viewerAt(Vec3 eye) {
    Vertex c;
    c.setPosition(Vec3(-eye.x, -eye.y, -eye.z));
    return c;
}

// True when light 0 cannot reach v and light 1 can: its colour is then
// light 1's colour times one common factor.
bool onlyUpperLight(const Vertex& v, const BaubleLights& L) {
    const Vec3 n = v.normalVec(), p = v.position();
    return dot(L.diffuse[0].position - p, n) <= 0 && dot(L.diffuse[1].position - p, n) > 0.5f;
}

class BaubleLighting : public ::testing::TestWithParam<BaubleScene> {
protected:
    void SetUp() override {
        allocateSpheres();
        buildShowSpheres(0);
        for (int k = 0; k < kSphereArray; ++k) {
            placeSphere(spheres.detailed[k], Vec3(0.01f * k, 0, 0));
            placeSphere(spheres.coarse[k], Vec3(0.01f * k, 0, 0));
        }
    }
    void TearDown() override { allocateSpheres(); }
};

TEST_P(BaubleLighting, UpperLightsRedPerBauble) {
    const BaubleScene scene = GetParam();
    const BaubleLights L = baubleLights(scene);
    const Vertex camera = viewerAt(Vec3(0, -50, 0));
    lightBaubles(scene, camera, spheres.detailed, spheres.coarse);
    const float green = L.diffuse[1].colour.y;
    // Whether the large bauble's highlight reaches v from this viewer.
    auto highlighted = [&](const Vertex& v) {
        Vertex h = v;
        h.colour[0] = h.colour[1] = h.colour[2] = 0;
        addSpecular(h, &L.highlight, 1, camera);
        return h.colour[0] != 0 || h.colour[1] != 0 || h.colour[2] != 0;
    };
    auto expectRed = [&](const SphereMesh& s, float red, const char* what) {
        int checked = 0;
        for (const Vertex& v : s.world) {
            if (!onlyUpperLight(v, L) || (&s == &spheres.detailed[1] && highlighted(v))) continue;
            ++checked;
            EXPECT_NEAR(v.colour[0] * green, v.colour[1] * red, 1e-6f) << what;
            EXPECT_GT(v.colour[1], 0.0f);
        }
        EXPECT_GT(checked, 0) << what;
    };
    expectRed(spheres.detailed[0], L.diffuse[1].colour.x, "bauble 0 keeps the scene's red");
    expectRed(spheres.detailed[1], 0.3f, "the large bauble");
    for (int k = 2; k < kSphereArray; ++k) expectRed(spheres.detailed[k], 1.0f, "baubles after the large one");
    for (int k = 0; k < kSphereArray; ++k) {
        if (k != 1) expectRed(spheres.coarse[k], 1.0f, "coarse baubles");
    }
}

TEST_P(BaubleLighting, HighlightOnTheLargeBaubleOnly) {
    const BaubleScene scene = GetParam();
    const BaubleLights L = baubleLights(scene);
    // The viewer out along the highlight light's side.
    const Vertex camera = viewerAt(Vec3(-2, 2, 2));
    lightBaubles(scene, camera, spheres.detailed, spheres.coarse);
    // Diffuse only, as the large bauble would be without its highlight.
    Light dimmed[2] = {L.diffuse[0], L.diffuse[1]};
    dimmed[1].colour.x = 0.3f;
    float most = 0;
    for (const Vertex& v : spheres.detailed[1].world) {
        Vertex d = v;
        lightVertex(d, dimmed, 2);
        for (int c = 0; c < 3; ++c) {
            const float extra = v.colour[c] - d.colour[c];
            EXPECT_GE(extra, 0.0f);
            EXPECT_LE(extra, 1.0f + 1e-6f);
            most = std::max(most, extra);
        }
    }
    if (scene == BaubleScene::HangingBauble) {
        EXPECT_FLOAT_EQ(most, 1.0f);  // colour 2 saturates the highlight
    } else {
        EXPECT_GT(most, 0.5f);        // the green channel's 0.8 near the highlight's centre
        EXPECT_LE(most, 0.8f + 1e-6f);
    }
    // Every other bauble, detailed or coarse, stays within diffuse light.
    for (int k = 0; k < kSphereArray; ++k) {
        for (const Vertex& v : spheres.coarse[k].world)
            for (int c = 0; c < 3; ++c) EXPECT_LE(v.colour[c], 1.0f);
        if (k == 1) continue;
        for (const Vertex& v : spheres.detailed[k].world)
            for (int c = 0; c < 3; ++c) EXPECT_LE(v.colour[c], 1.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(BothScenes, BaubleLighting,
                         ::testing::Values(BaubleScene::DrivenStrings, BaubleScene::HangingBauble));

}  // namespace
