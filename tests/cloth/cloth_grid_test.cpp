// Cloth sheets: the neighbour rule at the corners and edges, the normals it
// gives, even light on a flat sheet, the tablecloth's second half lit with
// the first half's normals, and the state every cloth drawing leaves.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "app/timeline.h"
#include "cloth_test_util.h"
#include "math/random.h"
#include "physics/bodies.h"
#include "physics/simulation.h"
#include "render/cloth.h"

namespace {

class ClothGrid : public ::testing::Test {
protected:
    void SetUp() override {
        resetShowPhysics();
        resetShowRand();
    }
    void TearDown() override { resetShowPhysics(); }
};

// A particle list whose vertex (r, j) stands at at(r, j).
Particle* sheet(const std::function<Vec3(int, int)>& at) {
    SoftBody body = makeHeads(false);
    for (int r = 0; r < 10; ++r)
        for (int j = 0; j < 10; ++j) addParticle(body.particles, 0.25f, PF_DYNAMIC, at(r, j), Vec3(), 0.0);
    return body.particles;
}

Vec3 normalOf(const Vertex& v) { return v.normalVec(); }

void expectVec(const Vec3& got, const Vec3& want, float tol, const char* what, int v) {
    EXPECT_NEAR(got.x, want.x, tol) << what << " at " << v;
    EXPECT_NEAR(got.y, want.y, tol) << what << " at " << v;
    EXPECT_NEAR(got.z, want.z, tol) << what << " at " << v;
}

// One light far above everything, full strength, colour 0.5.
Light overhead() {
    Light l;
    l.position = Vec3(0, 1.0e4f, 0);
    l.colour = Vec3(0.5f, 0.5f, 0.5f);
    l.kc = 1;
    return l;
}

}  // namespace

TEST(ClothNeighbours, EdgesAndCornersUseThemselvesWhereTheSheetEnds) {
    struct Case {
        int v, up, left, down, right;
    } cases[] = {
        {0, 0, 0, 10, 1},     // top-left corner
        {9, 9, 8, 19, 9},     // top-right corner
        {90, 80, 90, 90, 91}, // bottom-left corner
        {99, 89, 98, 99, 99}, // bottom-right corner
        {5, 5, 4, 15, 6},     // top edge
        {50, 40, 50, 60, 51}, // left edge: never the previous row's end
        {59, 49, 58, 69, 59}, // right edge: never the next row's start
        {95, 85, 94, 95, 96}, // bottom edge
        {45, 35, 44, 55, 46}, // inside
    };
    for (const Case& c : cases) {
        int nb[4];
        clothNeighbours(c.v, nb);
        EXPECT_EQ(nb[0], c.up) << c.v;
        EXPECT_EQ(nb[1], c.left) << c.v;
        EXPECT_EQ(nb[2], c.down) << c.v;
        EXPECT_EQ(nb[3], c.right) << c.v;
    }
}

TEST_F(ClothGrid, ATiltedPlaneGetsItsOwnNormalEverywhereCornersAndEdgesIncluded) {
    // The plane y = 0.3 x + 0.2 z, rows running along +z: its upward normal.
    Particle* head = sheet([](int r, int j) {
        const float x = (j - 5) / 10.0f, z = r / 10.0f;
        return Vec3(x, 0.3f * x + 0.2f * z, z);
    });
    Vertex grid[kClothVertices];
    fillClothGrid(grid, head);
    Light light = overhead();
    shadeClothGrids(grid, nullptr, &light, 1);
    Vec3 want(-0.3f, 1.0f, -0.2f);
    normalise(want);
    for (int v = 0; v < kClothVertices; ++v) expectVec(normalOf(grid[v]), want, 1e-5f, "normal", v);
    // The positions are the particles', row by row.
    EXPECT_FLOAT_EQ(grid[0].pos[0], -0.5f);
    EXPECT_FLOAT_EQ(grid[99].pos[0], 0.4f);
    EXPECT_FLOAT_EQ(grid[99].pos[2], 0.9f);
}

TEST_F(ClothGrid, CornersOfACurvedSheetTakeOnlyTheirRealNeighbours) {
    // A bowl: the corner normals come from the two neighbours the corner has.
    Particle* head = sheet([](int r, int j) {
        const float x = (j - 4.5f) / 10.0f, z = (r - 4.5f) / 10.0f;
        return Vec3(x, x * x + z * z, z);
    });
    Vertex grid[kClothVertices];
    fillClothGrid(grid, head);
    Light light = overhead();
    shadeClothGrids(grid, nullptr, &light, 1);
    auto p = [&](int v) { return grid[v].position(); };
    auto unit = [](Vec3 n) { return normalise(n); };
    // Vertex 0: up and left are itself, so only (down, right) counts.
    expectVec(normalOf(grid[0]), unit(cross(p(0) - p(10), p(0) - p(1))), 1e-5f, "corner", 0);
    // Vertex 99: down and right are itself, so only (up, left) counts.
    expectVec(normalOf(grid[99]), unit(cross(p(99) - p(89), p(99) - p(98))), 1e-5f, "corner", 99);
    // Vertices 9 and 90 would pair each real neighbour with the vertex
    // itself and get no normal at all; they take the cross product of their
    // two real neighbours instead, turned the way the inside of the sheet faces.
    expectVec(normalOf(grid[9]), unit(cross(p(9) - p(8), p(9) - p(19))), 1e-5f, "corner", 9);
    expectVec(normalOf(grid[90]), unit(cross(p(90) - p(91), p(90) - p(80))), 1e-5f, "corner", 90);
    // An edge vertex pairs its one missing neighbour with itself: on the top
    // edge only (down, right) counts.
    expectVec(normalOf(grid[4]), unit(cross(p(4) - p(14), p(4) - p(5))), 1e-5f, "edge", 4);
    // Every normal of the bowl points up and inwards.
    for (int v = 0; v < kClothVertices; ++v) {
        EXPECT_GT(grid[v].normal[1], 0.5f) << v;
        EXPECT_LE(grid[v].normal[0] * grid[v].pos[0], 1e-6f) << v;
    }
}

TEST_F(ClothGrid, AFlatSheetIsLitEvenly) {
    Particle* head = sheet([](int r, int j) { return Vec3((j - 5) / 10.0f, -0.3f, r / 10.0f); });
    Vertex grid[kClothVertices];
    fillClothGrid(grid, head);
    Light light = overhead();
    shadeClothGrids(grid, nullptr, &light, 1);
    for (int v = 0; v < kClothVertices; ++v)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(grid[v].colour[c], 0.5f, 1e-5f) << v;
}

TEST_F(ClothGrid, TheSecondHalfIsLitWithTheFirstHalfsNormalsAtItsOwnPlace) {
    // First half flat and facing up; second half hanging upright beside it,
    // facing along z, out to the right.
    Particle* first = sheet([](int r, int j) { return Vec3((j - 5) / 10.0f, 0, r / 10.0f); });
    Particle* second = sheet([](int r, int j) { return Vec3(1.0f + j / 10.0f, -r / 10.0f, 0.3f); });
    Light light;
    light.position = Vec3(0, 2, 0);
    light.colour = Vec3(0.9f, 0.6f, 0.3f);
    light.kc = 0.5f;
    light.kl = 0.1f;
    light.kq = 0.2f;
    fillClothGrid(clothGridA, first);
    fillClothGrid(clothGridB, second);
    shadeClothGrids(clothGridA, clothGridB, &light, 1);
    for (int v = 0; v < kClothVertices; ++v) {
        expectVec(normalOf(clothGridB[v]), normalOf(clothGridA[v]), 0, "normal", v);
        // Worked by hand: the cosine against the upward normal and the
        // attenuation from this vertex's own distance.
        const Vec3 L = light.position - clothGridB[v].position();
        const double d = std::sqrt(double(L.x) * L.x + double(L.y) * L.y + double(L.z) * L.z);
        const double cs = L.y / d;
        const double a = std::min(1.0, 1.0 / (0.5 + 0.1 * d + 0.2 * d * d));
        EXPECT_NEAR(clothGridB[v].colour[0], std::min(1.0, cs * 0.9 * a), 1e-5) << v;
        EXPECT_NEAR(clothGridB[v].colour[2], std::min(1.0, cs * 0.3 * a), 1e-5) << v;
        // Its own normal would face sideways and leave it nearly dark.
        EXPECT_GT(clothGridB[v].colour[0], 0.1f) << v;
    }
    // Different places, different light, same normals.
    EXPECT_NE(clothGridB[0].colour[0], clothGridB[99].colour[0]);
}

TEST_F(ClothGrid, EveryVariantLeavesTexturingOffCullingOnAndRecordsItself) {
    buildShowBodies();
    ASSERT_TRUE(freshFrame(0.0f));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    TexturePair pairs[17] = {};
    GLuint names[9] = {};
    showFlags.flashFlag = 1;
    const ClothVariant all[] = {ClothVariant::FallingSheet, ClothVariant::TurningSheet, ClothVariant::FinaleBody,
                                ClothVariant::Tablecloth,   ClothVariant::IntroTiles,   ClothVariant::FinaleTiles};
    for (ClothVariant variant : all) {
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
        if (!isSheet(variant))
            drawCloth(variant, 0, pairs);
        else
            drawCloth(variant, 0, names);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << int(variant);
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE)) << int(variant);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << int(variant);
    }
    // The two-pass scene step puts blending, texturing and depth back.
    for (ClothVariant variant : {ClothVariant::Tablecloth, ClothVariant::IntroTiles, ClothVariant::FinaleTiles}) {
        glEnable(GL_BLEND);
        drawClothScene(variant, 0, pairs);
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << int(variant);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << int(variant);
        GLint depthFunc = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
        EXPECT_EQ(depthFunc, GL_LESS) << int(variant);
    }
}

TEST_F(ClothGrid, TheTableclothCoversTheFrameWhereItHangs) {
    // The two halves seen from the front with the show's light set: lit,
    // and split down the middle where they part.
    buildShowBodies();
    ASSERT_TRUE(freshFrame(0.0f));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.7, 1.8, -3.0, -0.7, -3, 3);  // x across both halves, y down the drop
    glMatrixMode(GL_MODELVIEW);
    drawCloth(ClothVariant::Tablecloth, 0, static_cast<const GLuint*>(nullptr));
    int lit = 0;
    for (int x = 0; x < kFrameW; x += 4)
        for (int y = 0; y < kFrameH; y += 4) {
            const Rgb p = pixelAt(x, y);
            if (p.r + p.g + p.b > 30) ++lit;
        }
    // 40 x 30 samples; the halves take up a good part of them.
    EXPECT_GT(lit, 300);
    EXPECT_LT(lit, 1200);
}
