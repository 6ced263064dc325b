// The light exchange: the weight table, the identity capture checked against
// rays cast by hand, the rounds of gathering, the two lightings' emitters
// and the light maps' bytes.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "offscreen/radiosity.h"
#include "offscreen_test_util.h"

namespace {

const float kLamp31[3] = {0.435f, 0.33f, 0.32f};

// Puts the first lighting back: surface 31 glows, nothing else.
void resetFirstLighting() {
    for (int n = 1; n <= 52; ++n) {
        RadiositySurface* s = surfaceByNumber(n);
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            RadiosityPatch& patch = s->patches[p];
            patch.emission = n == 31 ? Vec3(kLamp31[0], kLamp31[1], kLamp31[2]) : Vec3();
            patch.radiosity = patch.emission;
            patch.gathered = Vec3();
        }
    }
}

// The world direction through the centre of capture pixel j for a camera
// on the floor (looking up, +y) or on wall x = +1 (looking along -x); the
// 160-degree field spans tan(80) on each side.
Vec3 pixelRay(int j, bool floorCamera) {
    const double t = std::tan(80.0 * 3.14159265358979323846 / 180.0);
    const float ex = static_cast<float>(((j % 16 + 0.5) / 8.0 - 1.0) * t);
    const float ey = static_cast<float>(((j / 16 + 0.5) / 8.0 - 1.0) * t);
    // Undo the camera turn: -90 about x (floor) or +90 about y (wall x = +1,
    // whose normal is -x, turns -90 about y).
    return floorCamera ? Vec3(ex, 1, ey) : Vec3(-1, ey, -ex);
}

// Casts a ray through the room's rectangles by hand and returns the nearest
// hit on a surface that faces the ray; *surfaceNumber names it.
Vec3 castRay(const Vec3& origin, const Vec3& d, int* surfaceNumber) {
    float best = 1e9f;
    *surfaceNumber = 0;
    for (int n = 1; n <= 52; ++n) {
        const RadiositySurface* s = surfaceByNumber(n);
        const Vec3 normal = s->patches[0].normal;
        if (dot(d, normal) >= 0) continue;
        const float o[3] = {origin.x, origin.y, origin.z}, dir[3] = {d.x, d.y, d.z};
        const float along = (s->fixed - o[s->fixedAxis]) / dir[s->fixedAxis];
        if (along <= 1e-4f || along >= best) continue;
        const float u = o[s->columnAxis] + along * dir[s->columnAxis];
        const float v = o[s->rowAxis] + along * dir[s->rowAxis];
        if (u < std::fmin(s->columnStart, s->columnEnd) || u > std::fmax(s->columnStart, s->columnEnd)) continue;
        if (v < std::fmin(s->rowStart, s->rowEnd) || v > std::fmax(s->rowStart, s->rowEnd)) continue;
        best = along;
        *surfaceNumber = n;
    }
    return origin + d * best;
}

// Decodes a capture value into its surface and patch (null when none).
const RadiosityPatch* namedPatch(uint32_t v, int* surfaceNumber) {
    const int s = static_cast<int>(v >> 24) - 1;
    const uint32_t p = v & 0xFFFFFFu;
    *surfaceNumber = s;
    if (s < 1 || s > 52 || p < 1 || p > surfaceByNumber(s)->patchCount) return nullptr;
    return &surfaceByNumber(s)->patches[p - 1];
}

TEST(GatherWeights, PeakCornerAndSum) {
    buildGatherWeights();
    EXPECT_FLOAT_EQ(radiosity.weights[136], 1.0f);
    EXPECT_NEAR(radiosity.weights[0], 6.12e-17, 0.01e-17);
    double sum = 0;
    for (float w : radiosity.weights) {
        EXPECT_GE(w, 0.0f);
        sum += w;
    }
    EXPECT_NEAR(sum, 159.76, 0.005);
    // Symmetric about pixel 136: one column left equals one row down.
    EXPECT_FLOAT_EQ(radiosity.weights[135], radiosity.weights[120]);
}

// Every pixel of every capture names a real patch of a real surface, and
// what the pixels near the middle name is what a ray through them hits.
TEST(IdentityCapture, NamesWhatRaysFromThePatchHit) {
    ASSERT_TRUE(captureRoom());
    long empty = 0, total = 0;
    for (int n = 1; n <= 52; ++n) {
        const RadiositySurface* s = surfaceByNumber(n);
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            const uint32_t* id = s->patches[p].identity.get();
            ASSERT_NE(id, nullptr);
            for (int j = 0; j < kCapturePixels; ++j, ++total) {
                if (id[j] == 0) {
                    // The ceiling strips run on above the upper cubes: from
                    // there the room is seen through the backs of culled faces.
                    const bool buried = (n == 2 || n == 3) && std::fabs(s->patches[p].position.z) > 0.5f;
                    if (!buried) ++empty;
                    continue;
                }
                int seen = 0;
                ASSERT_NE(namedPatch(id[j], &seen), nullptr)
                    << "surface " << n << " patch " << p << " pixel " << j << " value " << std::hex << id[j];
                ASSERT_NE(seen, n) << "a flat surface cannot see itself";
            }
        }
    }
    // The room is closed: only single pixels fall through the seams where
    // a surface's edge meets another's side.
    EXPECT_LT(empty, total / 400) << empty << " of " << total << " pixels name nothing";

    // The middle pixels look about 20 degrees off the normal, diagonally.
    // Floor patches near the middle see the ceiling through them; from wall
    // x = +1 they meet the opposite wall, or a cube in the way.
    struct Case {
        int surface, row, column;
        bool floorCamera;
        int pixel, expectSurface;  // expectSurface 0: any ceiling strip
    } cases[] = {{4, 5, 10, true, 136, 0},  {4, 10, 5, true, 119, 0},  {4, 5, 5, true, 120, 0},
                 {4, 10, 10, true, 135, 0}, {5, 1, 8, false, 136, 10}, {5, 6, 8, false, 119, 10},
                 {5, 4, 8, false, 136, 45}, {5, 4, 8, false, 120, 0},  {4, 8, 8, true, 136, 36}};
    for (const Case& c : cases) {
        const RadiositySurface* s = surfaceByNumber(c.surface);
        const RadiosityPatch& from = s->patches[c.row * s->columns + c.column];
        int hitSurface = 0;
        const Vec3 hit = castRay(from.position, pixelRay(c.pixel, c.floorCamera), &hitSurface);
        int seen = 0;
        const RadiosityPatch* named = namedPatch(from.identity[c.pixel], &seen);
        ASSERT_NE(named, nullptr);
        SCOPED_TRACE(testing::Message() << "from surface " << c.surface << " (" << c.row << ", " << c.column
                                        << ") pixel " << c.pixel);
        if (c.expectSurface == 0 && c.floorCamera) {
            EXPECT_GE(seen, 1);
            EXPECT_LE(seen, 3) << "straight up from the floor is the ceiling";
        } else if (c.expectSurface != 0) {
            EXPECT_EQ(seen, c.expectSurface);
        }
        EXPECT_EQ(seen, hitSurface);
        // The named patch is the one the ray meets: its centre within half
        // a patch (and a hair) of the hit on every axis.
        const RadiositySurface* target = surfaceByNumber(seen);
        const float halfColumn = std::fabs(target->columnEnd - target->columnStart) / target->columns / 2 + 0.01f;
        const float halfRow = std::fabs(target->rowEnd - target->rowStart) / target->rows / 2 + 0.01f;
        const Vec3 off = named->position - hit;
        const float offs[3] = {off.x, off.y, off.z};
        EXPECT_LE(std::fabs(offs[target->columnAxis]), halfColumn);
        EXPECT_LE(std::fabs(offs[target->rowAxis]), halfRow);
        EXPECT_LE(std::fabs(offs[target->fixedAxis]), 1e-4f);
    }
}

TEST(Lighting, FirstLightingRoundsReadOnlyThePreviousRound) {
    ASSERT_TRUE(captureRoom());
    resetFirstLighting();
    // One round from the start: only the lamp sends, so every patch's
    // radiosity is its emission plus 2% of the weights of the pixels that
    // see the lamp times the lamp's colour, whatever order patches go in.
    gatherIteration();
    for (int n = 1; n <= 52; ++n) {
        const RadiositySurface* s = surfaceByNumber(n);
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            const RadiosityPatch& patch = s->patches[p];
            double lampWeight = 0;
            for (int j = 0; j < kCapturePixels; ++j)
                if ((patch.identity[j] >> 24) == 32) lampWeight += radiosity.weights[j];
            const double expected = (n == 31 ? kLamp31[0] : 0.0) + 0.02 * lampWeight * kLamp31[0];
            ASSERT_NEAR(patch.radiosity.x, expected, 1e-5) << "surface " << n << " patch " << p;
        }
    }
    // Three more rounds make the first lighting.
    for (int round = 1; round < kGatherRounds; ++round) gatherIteration();
    const RadiositySurface* lamp = surfaceByNumber(31);
    for (uint32_t p = 0; p < lamp->patchCount; ++p) {
        EXPECT_GE(lamp->patches[p].radiosity.x, kLamp31[0]);
        EXPECT_GE(lamp->patches[p].radiosity.y, kLamp31[1]);
        EXPECT_GE(lamp->patches[p].radiosity.z, kLamp31[2]);
    }
    // The alcove under the lamp (the two wall pieces and the lower cube's
    // top in corner -x +z) outshines the same alcove in the far corner +x -z.
    float nearDimmest = 1e9f, farBrightest = 0;
    for (int n : {12, 24, 27})
        for (uint32_t p = 0; p < 16; ++p) nearDimmest = std::fmin(nearDimmest, surfaceByNumber(n)->patches[p].radiosity.x);
    for (int n : {7, 19, 48})
        for (uint32_t p = 0; p < 16; ++p) farBrightest = std::fmax(farBrightest, surfaceByNumber(n)->patches[p].radiosity.x);
    EXPECT_GT(nearDimmest, farBrightest);
    EXPECT_GT(farBrightest, 0.0f) << "light reaches the far corner";
}

TEST(Lighting, SecondLightingGlowsOnlyUnderTheLowerCubeAndOnTheWallPiece) {
    ASSERT_TRUE(openRoomView());
    resetFirstLighting();
    for (int n = 1; n <= 52; ++n) surfaceByNumber(n)->patches[0].gathered = Vec3(1, 1, 1);
    setSecondLighting(kSecondLampColour);
    for (int n = 1; n <= 52; ++n) {
        const RadiositySurface* s = surfaceByNumber(n);
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            const RadiosityPatch& patch = s->patches[p];
            const Vec3 want = n == 42 ? Vec3(0.235f, 0.285f, 0.315f) : n == 22 ? Vec3(0.05f, 0.1f, 0.05f) : Vec3();
            ASSERT_EQ(patch.emission.x, want.x) << n;
            ASSERT_EQ(patch.emission.y, want.y) << n;
            ASSERT_EQ(patch.emission.z, want.z) << n;
            ASSERT_EQ(patch.radiosity.x, want.x) << n;
            ASSERT_EQ(patch.radiosity.z, want.z) << n;
            ASSERT_EQ(patch.gathered.x + patch.gathered.y + patch.gathered.z, 0.0f) << n;
        }
    }
}

TEST(Lighting, LightMapsClampInThePatchAndTruncateToBytes) {
    ASSERT_TRUE(openRoomView());
    host.makeMainCurrent();
    resetFirstLighting();
    RadiositySurface* floor = surfaceByNumber(4);
    floor->patches[0].radiosity = Vec3(1.5f, 0.5f, 0.25f);
    floor->patches[17].radiosity = Vec3(1.0f, 0.999f, 40.0f);
    GLuint names[52];
    glGenTextures(52, names);
    loadPatchTextures(names);
    EXPECT_EQ(floor->patches[0].radiosity.x, 1.0f) << "stored back clamped";
    EXPECT_EQ(floor->patches[0].radiosity.y, 0.5f);
    EXPECT_EQ(floor->patches[17].radiosity.z, 1.0f);

    std::vector<unsigned char> texels(256 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, names[3]);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], 255);
    EXPECT_EQ(texels[1], 127);
    EXPECT_EQ(texels[2], 63);
    EXPECT_EQ(texels[17 * 3], 255);
    EXPECT_EQ(texels[17 * 3 + 1], 254);
    EXPECT_EQ(texels[17 * 3 + 2], 255);
    // The lamp's texels carry its colour; the other surfaces are dark.
    glBindTexture(GL_TEXTURE_2D, names[30]);
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], static_cast<int>(0.435f * 255.0f));
    EXPECT_EQ(texels[15 * 3 + 1], static_cast<int>(0.33f * 255.0f));
}

// Both lightings' 52 light maps as bytes, computed from the current
// identity pictures: four rounds each, uploaded and read back.
std::vector<unsigned char> lightMapBytes() {
    std::vector<unsigned char> all;
    GLuint names[52];
    glGenTextures(52, names);
    for (int lighting = 0; lighting < 2; ++lighting) {
        if (lighting == 0)
            resetFirstLighting();
        else
            setSecondLighting(kSecondLampColour);
        for (int round = 0; round < kGatherRounds; ++round) gatherIteration();
        loadPatchTextures(names);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        for (GLuint name : names) {
            std::vector<unsigned char> texels(256 * 3, 0);
            glBindTexture(GL_TEXTURE_2D, name);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
            all.insert(all.end(), texels.begin(), texels.end());
        }
    }
    glDeleteTextures(52, names);
    return all;
}

TEST(IdentityCapture, OneJointCaptureSeesWhatThePatchAndSurfaceCapturesSee) {
    // The start-up load takes the joint capture; the light maps it leads to
    // must be the very bytes of the two-capture way.
    ASSERT_TRUE(captureRoom());
    std::vector<std::vector<uint32_t>> twoCaptures;
    for (RadiositySurface* s = room.head; s; s = s->next)
        for (uint32_t p = 0; p < s->patchCount; ++p)
            twoCaptures.emplace_back(s->patches[p].identity.get(), s->patches[p].identity.get() + kCapturePixels);
    const std::vector<unsigned char> twoCaptureMaps = lightMapBytes();

    captureJointIdentities(offscreen.identityView, offscreen.identityJointList);
    size_t k = 0, differing = 0, seen = 0;
    for (RadiositySurface* s = room.head; s; s = s->next)
        for (uint32_t p = 0; p < s->patchCount; ++p, ++k)
            for (int j = 0; j < kCapturePixels; ++j) {
                differing += s->patches[p].identity[j] != twoCaptures[k][j];
                seen += (s->patches[p].identity[j] >> 24) >= 2;
            }
    EXPECT_EQ(k, 1664u);
    EXPECT_EQ(differing, 0u) << "identity pixels that differ";
    EXPECT_GT(seen, 1664u * 200) << "the room fills most of every picture";
    const std::vector<unsigned char> jointMaps = lightMapBytes();
    EXPECT_TRUE(jointMaps == twoCaptureMaps) << "light maps differ";
    EXPECT_GT(std::count_if(jointMaps.begin(), jointMaps.end(), [](unsigned char b) { return b > 0; }), 1000);

    // The other tests read the first lighting after the two-capture way.
    captureIdentities(offscreen.identityView, roomFixture().patchList, roomFixture().surfaceList);
    host.makeMainCurrent();
    resetFirstLighting();
}

}  // namespace
