// sphere_gl_test.cpp - the bauble meshes drawn on the offscreen driver: a
// sphere covers the disc its projection predicts with no crack at any seam
// and every face wound for the body scenes' culling; the texture pass lands
// exactly on the colour pass; which colliders' spheres are drawn; and the
// draw steps' closing state.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "show/show_clock.h"
#include "math/random.h"
#include "physics/bodies.h"
#include "physics/builders/builders.h"
#include "render/scene_steps.h"
#include "render/sphere.h"
#include "support/offscreen_gl.h"

namespace {

const int W = 256, H = 256;

class SphereGl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openOffscreenGl(W, H));
        host.makeMainCurrent();
        glViewport(0, 0, W, H);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        // The body scenes' culling: clockwise is the front.
        glFrontFace(GL_CW);
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void TearDown() override { glDisable(GL_CULL_FACE); }

    static void paint(SphereMesh& s, float grey) {
        for (Vertex& v : s.world) v.colour[0] = v.colour[1] = v.colour[2] = grey;
    }
    // Red channel at normalised device position (x, y).
    static int redAt(const std::vector<unsigned char>& px, float x, float y) {
        const int i = static_cast<int>((x + 1) / 2 * W), j = static_cast<int>((y + 1) / 2 * H);
        return px[(static_cast<size_t>(j) * W + i) * 4];
    }
    // Counts pixels inside radius inner that are below minRed, and pixels
    // beyond radius outer that are lit.
    static void countDisc(const std::vector<unsigned char>& px, float inner, float outer, int minRed, int& holes,
                          int& spill) {
        holes = spill = 0;
        for (int j = 0; j < H; ++j)
            for (int i = 0; i < W; ++i) {
                const float x = (i + 0.5f) / W * 2 - 1, y = (j + 0.5f) / H * 2 - 1;
                const float d = std::sqrt(x * x + y * y);
                const int r = px[(static_cast<size_t>(j) * W + i) * 4];
                if (d < inner && r < minRed) ++holes;
                if (d > outer && r > 0) ++spill;
            }
    }
};

TEST_F(SphereGl, CoversItsDiscWithoutCracksFromEverySide) {
    const float R = 0.9f;
    // How far the flat cells fall inside the sphere, per grid size.
    const struct { int n; float margin; } grids[] = {{3, 0.12f}, {6, 0.03f}, {9, 0.015f}, {15, 0.01f}};
    // Views onto each face, onto the caps' seams and onto cube corners.
    const float turns[][4] = {{0, 0, 1, 0},   {180, 0, 1, 0}, {90, 0, 1, 0},   {-90, 0, 1, 0}, {90, 1, 0, 0},
                              {-90, 1, 0, 0}, {45, 0, 1, 0},  {54.7f, 1, 1, 0}, {-35, 1, -1, 1}, {135, 1, 0.3f, 0}};
    const float pixel = 2.0f / W;
    for (const auto& g : grids) {
        SphereMesh s;
        buildSphere(s, R, g.n, 0);
        paint(s, 1.0f);
        for (const auto& t : turns) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            glRotatef(t[0], t[1], t[2], t[3]);
            drawSphereLit(s);
            int holes = 0, spill = 0;
            countDisc(readPixels(W, H), R * (1 - g.margin) - 2 * pixel, R + 2 * pixel, 255, holes, spill);
            EXPECT_EQ(holes, 0) << "n=" << g.n << " turn " << t[0] << " about (" << t[1] << "," << t[2] << ","
                                << t[3] << ")";
            EXPECT_EQ(spill, 0) << "n=" << g.n;
        }
    }
    glLoadIdentity();
}

TEST_F(SphereGl, TexturePassLandsExactlyOnTheColourPass) {
    GLuint white = 0;
    glGenTextures(1, &white);
    glBindTexture(GL_TEXTURE_2D, white);
    const unsigned char texels[4 * 3] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    SphereMesh s;
    buildSphere(s, 0.8f, 9, white);
    placeSphere(s, Vec3(0.1f, -0.05f, 0.0f));
    glRotatef(30, 1, 1, 0);
    paint(s, 0.5f);
    drawSphereLit(s);
    // The texture (modulated by the last colour sent, grey) added where the
    // same surface already is: a pixel the second pass misses stays grey.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDepthFunc(GL_EQUAL);
    drawSphereTextured(s);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
    // The disc's centre on screen: the turn moves the sphere's centre too.
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glLoadIdentity();
    const auto px = readPixels(W, H);
    int holes = 0, grey = 0;
    const float cx = m[0] * 0.1f + m[4] * -0.05f, cy = m[1] * 0.1f + m[5] * -0.05f;
    for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i) {
            const float x = (i + 0.5f) / W * 2 - 1 - cx, y = (j + 0.5f) / H * 2 - 1 - cy;
            const int r = px[(static_cast<size_t>(j) * W + i) * 4];
            if (std::sqrt(x * x + y * y) < 0.8f * 0.985f - 0.02f) {
                if (r < 250) ++holes;
            }
            if (r > 100 && r < 200) ++grey;
        }
    EXPECT_EQ(holes, 0);
    EXPECT_EQ(grey, 0);
    glDeleteTextures(1, &white);
}

// Triangles a pass sends, counted through feedback with culling off.
int trianglesSent(void (*draw)(const SphereMesh&), const SphereMesh& s) {
    glDisable(GL_CULL_FACE);
    std::vector<GLfloat> buffer(200000);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw(s);
    const GLint used = glRenderMode(GL_RENDER);
    int triangles = 0;
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i]);
        if (token == GL_POLYGON_TOKEN) {
            const int count = static_cast<int>(buffer[i + 1]);
            ++triangles;
            i += 2 + 3 * count;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return triangles;
}

TEST_F(SphereGl, StripsPerFaceFollowTheGrid) {
    glLoadIdentity();
    glScalef(0.1f, 0.1f, 0.1f);  // the whole sphere in view, nothing clipped
    for (int n : {1, 2, 3, 9}) {
        SphereMesh s;
        buildSphere(s, 1.0f, n, 0);
        // Each face: n - 1 strips of 2n vertices, that is 2n - 2 triangles each.
        const int expected = 6 * (n - 1) * (2 * n - 2);
        EXPECT_EQ(trianglesSent(drawSphereLit, s), expected) << n;
        EXPECT_EQ(trianglesSent(drawSphereTextured, s), expected) << n;
    }
    glLoadIdentity();
}

// Passive head, active with particle, inactive, active without particle, active with particle.
struct Row {
    Particle particle{};
    Collider c[5]{};
    Row() {
        const int flags[5] = {CF_PASSIVE, CF_ACTIVE, CF_ACTIVE & 0, CF_ACTIVE, CF_ACTIVE};
        const float x[5] = {0, -0.6f, 0.9f, 0.0f, 0.6f};
        for (int i = 0; i < 5; ++i) {
            c[i].flags = flags[i];
            c[i].centre = Vec3(x[i], 0, 0);
            c[i].particle = (i == 0 || i == 3) ? nullptr : &particle;
            c[i].next = i < 4 ? &c[i + 1] : nullptr;
        }
    }
};

TEST_F(SphereGl, SpheresOfActiveCollidersWithParticlesAreDrawn) {
    Row row;
    SphereMesh array[kSphereArray];
    const float colours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int k = 0; k < kSphereArray; ++k) {
        buildSphere(array[k], 0.2f, 6, 99);
        for (Vertex& v : array[k].world)
            for (int c = 0; c < 3; ++c) v.colour[c] = k < 3 ? colours[k][c] : 1.0f;
    }
    placeSpheres(array, row.c);
    drawSpheresLit(array, row.c);
    const auto px = readPixels(W, H);
    auto rgb = [&](float x) {
        const int i = static_cast<int>((x + 1) / 2 * W), j = H / 2;
        const unsigned char* p = &px[(static_cast<size_t>(j) * W + i) * 4];
        return (p[0] > 200 ? 4 : 0) | (p[1] > 200 ? 2 : 0) | (p[2] > 200 ? 1 : 0);
    };
    EXPECT_EQ(rgb(-0.6f), 4);  // sphere 0 on the first active collider
    EXPECT_EQ(rgb(0.0f), 0);   // sphere 1 placed on the collider without particle, not drawn
    EXPECT_EQ(rgb(0.6f), 1);   // sphere 2 on the third active collider
    EXPECT_EQ(rgb(0.9f), 0);   // the inactive collider takes no sphere
    EXPECT_EQ(array[1].centre.pos[0], 0.0f);
    EXPECT_EQ(array[2].centre.pos[0], 0.6f);

    // The texture pass skips the undrawn large bauble and leaves its faces.
    const GLuint names[9] = {10, 11, 12, 13, 14, 15, 16, 17, 18};
    drawSpheresTextured(array, row.c, names);
    EXPECT_EQ(array[1].faceTexture[0], 99u);
    // With a particle it is drawn twice and keeps the six views afterwards.
    row.c[3].particle = &row.particle;
    drawSpheresTextured(array, row.c, names);
    for (int f = 0; f < 6; ++f) EXPECT_EQ(array[1].faceTexture[f], names[f]);
    EXPECT_EQ(array[2].faceTexture[0], 99u);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(SphereGl, StringsShadeFromTheirUpperEndToTheirBauble) {
    glDisable(GL_CULL_FACE);
    SphereMesh array[kSphereArray];
    for (int k = 0; k < kSphereArray; ++k) array[k].centre.setPosition(Vec3(k == 1 ? 0.5f : -0.5f, -0.8f, 0));
    Particle top[4]{};
    top[0].position = Vec3(-0.5f, 0.8f, 0);
    top[1].position = Vec3(-0.5f, 0.8f, 0);
    top[2].position = Vec3(0.5f, 0.8f, 0);
    top[3].position = Vec3(0.5f, 0.8f, 0);
    Spring springs[5]{};
    for (int m = 0; m < 5; ++m) {
        springs[m].a = m ? &top[m - 1] : &top[0];
        springs[m].next = m < 4 ? &springs[m + 1] : nullptr;
    }
    drawStrings(array, springs);
    const auto px = readPixels(W, H);
    // Springs 0 and 1 hang sphere 0 (left), springs 2 and 3 sphere 1 (right):
    // pale red near the bauble, darker near the top.
    auto redNear = [&](float x, float y) {
        int best = 0;
        const int i0 = static_cast<int>((x + 1) / 2 * W), j = static_cast<int>((y + 1) / 2 * H);
        for (int i = i0 - 2; i <= i0 + 2; ++i) best = std::max<int>(best, px[(static_cast<size_t>(j) * W + i) * 4]);
        return best;
    };
    EXPECT_GT(redNear(-0.5f, -0.7f), 200);
    EXPECT_LT(redNear(-0.5f, 0.7f), 40);
    EXPECT_GT(redNear(0.5f, -0.7f), 200);
    EXPECT_EQ(redNear(0.0f, 0.0f), 0);
}

TEST_F(SphereGl, DrawStepsLeaveBlendingAndTexturingOffAndDepthLess) {
    resetShowPhysics();
    resetShowRand();
    useFixedClock(120, 0);
    buildShowBodies();
    allocateSpheres();
    buildShowSpheres(0);
    SceneTextures scene;
    glGenTextures(9, scene.slot);
    Vertex camera;
    for (BaubleScene b : {BaubleScene::DrivenStrings, BaubleScene::HangingBauble}) {
        advanceBaubleScene(b, spheres.detailed, spheres.coarse);
        lightBaubleScene(b, camera, spheres.detailed, spheres.coarse);
        glEnable(GL_BLEND);
        glDepthFunc(GL_GREATER);
        drawBaubleScene(b, spheres.detailed, scene, nullptr, DrawTarget::Picture);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        GLint func = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &func);
        EXPECT_EQ(func, GL_LESS);
    }
    for (ClothVariant variant : {ClothVariant::FallingSheet, ClothVariant::TurningSheet, ClothVariant::FinaleBody}) {
        SphereMesh& s = variant == ClothVariant::FallingSheet ? spheres.largeBauble : spheres.middleBauble;
        for (GLuint& t : s.faceTexture) t = 99;
        glEnable(GL_TEXTURE_2D);
        glDepthFunc(GL_GREATER);
        drawBodyScene(s, scene, nullptr, variant, DrawTarget::Picture);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        GLint func = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &func);
        EXPECT_EQ(func, GL_LESS);
        // The finale body shows no bauble; the others show the six views.
        EXPECT_EQ(s.faceTexture[2], variant == ClothVariant::FinaleBody ? 99u : scene.slot[2]) << int(variant);
    }
    glDeleteTextures(9, scene.slot);
}

}  // namespace
