// The reflection views: the bauble view's small picture under the main
// context's bauble name, and the six faces rendered from a bauble's centre
// in a room painted in plain colours (floor red, ceiling blue, each wall its
// own colour), checked face by face in the main context.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/show_textures.h"
#include "image/bmp.h"
#include "offscreen_test_util.h"
#include "physics/builders/builders.h"
#include "render/scene_steps.h"
#include "render/sphere.h"

namespace {

enum Paint { Red, Blue, Green, Cyan, Yellow, Magenta, Grey, Other };

// The colour each surface is painted with: floor, ceiling, the walls x = +1,
// x = -1, z = -1, z = +1, and the cubes.
Vec3 paintOf(int n) {
    if (n <= 3) return Vec3(0, 0, 1);
    if (n == 4) return Vec3(1, 0, 0);
    if (n <= 9) return Vec3(0, 1, 0);
    if (n <= 14) return Vec3(0, 1, 1);
    if (n <= 19) return Vec3(1, 1, 0);
    if (n <= 24) return Vec3(1, 0, 1);
    return Vec3(0.5f, 0.5f, 0.5f);
}

Paint classify(const unsigned char* rgb) {
    auto hi = [](unsigned char c) { return c > 200; };
    auto lo = [](unsigned char c) { return c < 40; };
    const unsigned char r = rgb[0], g = rgb[1], b = rgb[2];
    if (hi(r) && lo(g) && lo(b)) return Red;
    if (lo(r) && lo(g) && hi(b)) return Blue;
    if (lo(r) && hi(g) && lo(b)) return Green;
    if (lo(r) && hi(g) && hi(b)) return Cyan;
    if (hi(r) && hi(g) && lo(b)) return Yellow;
    if (hi(r) && lo(g) && hi(b)) return Magenta;
    if (r > 100 && r < 155 && g > 100 && g < 155 && b > 100 && b < 155) return Grey;
    return Other;
}

// Main context: the whole picture in a scene slot, bottom row first.
std::vector<unsigned char> slotPicture(GLuint name, int* size) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    *size = w;
    std::vector<unsigned char> px(static_cast<size_t>(w) * (h > 0 ? h : 1) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (w > 0) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// Share of a picture's pixels (within the row range, as fractions from the
// bottom) that show the paint.
double share(const std::vector<unsigned char>& px, int size, Paint paint, double fromRow = 0, double toRow = 1) {
    long hits = 0, all = 0;
    for (int y = static_cast<int>(fromRow * size); y < static_cast<int>(toRow * size); ++y)
        for (int x = 0; x < size; ++x, ++all)
            if (classify(&px[(y * size + x) * 3]) == paint) ++hits;
    return all ? static_cast<double>(hits) / all : 0;
}

// The room in plain colours, the main context's names, the spheres and the
// bodies the scene drawings read; main context current.
class Reflections : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openRoomView());
        host.makeMainCurrent();
        for (int n = 1; n <= 52; ++n) {
            RadiositySurface* s = surfaceByNumber(n);
            for (uint32_t p = 0; p < s->patchCount; ++p) s->patches[p].radiosity = paintOf(n);
        }
        if (textures.bauble == 0) {
            generateTextureNames();
            allocateSpheres();
            buildShowSpheres(textures.bauble);
            buildShowBodies();
        }
    }
};

TEST_F(Reflections, BaubleViewShowsTheSmallPictureUnderTheMainBaubleName) {
    if (textures.bauble != 1) GTEST_SKIP() << "the main context's first name went to an earlier test";
    prepareTexture(textures.bauble);
    ASSERT_EQ(loadMipmappedTexture("Images/Bombka.bmp"), 0);
    int mainSize = 0;
    const std::vector<unsigned char> full = slotPicture(textures.bauble, &mainSize);

    if (!offscreen.baubleView) createBaubleView();
    host.makeViewCurrent(offscreen.baubleView);
    int viewSize = 0;
    const std::vector<unsigned char> small = slotPicture(textures.bauble, &viewSize);
    Image low;
    ASSERT_TRUE(readBitmap("Images/Bombka_low.bmp", low));
    ASSERT_EQ(viewSize, low.width);
    EXPECT_NE(viewSize, mainSize) << "the two pictures differ in size";
    const std::vector<uint8_t> rgb = bitmapToRgb(low);
    const size_t stride = rgbRowStride(low.width);
    for (int y = 0; y < low.height; ++y)
        for (int x = 0; x < low.width * 3; ++x)
            ASSERT_EQ(small[(y * low.width) * 3 + x], rgb[y * stride + x]) << "row " << y;

    // The view's state: culled clockwise room, depth, the whole target.
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint frontFace = 0, viewport[4] = {};
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(frontFace, GL_CW);
    EXPECT_EQ(viewport[2], 128);
    EXPECT_EQ(viewport[3], 128);
    host.makeMainCurrent();
}

TEST_F(Reflections, BaubleFacesSeeTheRoomAroundTheEye) {
    if (!offscreen.baubleView) createBaubleView();
    // From the room's centre: floor below, ceiling above, a wall each way.
    placeSphere(spheres.coarse[1], Vec3(0, 0, 0));
    renderBaubleFaces(offscreen.baubleView, spheres.coarse, textures.scene, offscreen.baubleRoom);
    // The corner cubes fill the rest of each picture (a quarter or so of
    // the walls' and the ceiling's pictures; none of the floor's).
    const Paint around[6] = {Magenta, Yellow, Blue, Red, Green, Cyan};
    const double least[6] = {0.6, 0.6, 0.7, 0.95, 0.6, 0.6};
    for (int k = 0; k < 6; ++k) {
        int size = 0;
        const std::vector<unsigned char> px = slotPicture(textures.scene.slot[k], &size);
        ASSERT_EQ(size, 128) << "face " << k << " uploaded into the main context";
        EXPECT_GT(share(px, size, around[k]), least[k]) << "face " << k;
        EXPECT_GT(share(px, size, around[k]) + share(px, size, Grey), 0.97) << "face " << k;
    }
    // Off centre, towards +z. Looking along -z: the floor at the bottom of
    // the picture (its first rows), the far wall, the ceiling at the top.
    // Looking along +x: wall x = +1 on the left, the piece of wall z = +1
    // between the corner cubes on the right.
    placeSphere(spheres.coarse[1], Vec3(0, 0, 0.5f));
    renderBaubleFaces(offscreen.baubleView, spheres.coarse, textures.scene, offscreen.baubleRoom);
    int size = 0;
    std::vector<unsigned char> px = slotPicture(textures.scene.slot[1], &size);
    auto at = [&](int x, int y) { return classify(&px[(y * size + x) * 3]); };
    EXPECT_EQ(at(64, 4), Red);
    EXPECT_EQ(at(48, 80), Yellow);  // beside the baubles left at the centre
    EXPECT_EQ(at(64, 123), Blue);
    px = slotPicture(textures.scene.slot[4], &size);
    EXPECT_EQ(at(8, 64), Green);
    EXPECT_EQ(at(120, 96), Magenta);
    EXPECT_EQ(at(120, 32), Grey) << "the lower cube in corner +x +z";
}

TEST_F(Reflections, TheBaublesOwnFacesNeverShowAndSlotSevenComesBack) {
    if (!offscreen.environmentView) {
        createEnvironmentView();
        host.makeMainCurrent();
    }
    const GLuint mainEnvironment = textures.scene.slot[7];
    placeSphere(spheres.largeBauble, Vec3(0.1f, -0.2f, 0.05f));
    renderEnvironmentFaces(offscreen.environmentView, spheres.largeBauble, textures.scene,
                           offscreen.environmentRoom, ClothVariant::FallingSheet);
    EXPECT_EQ(textures.scene.slot[7], mainEnvironment);
    std::vector<unsigned char> withBauble[6];
    for (int k = 0; k < 6; ++k) {
        int size = 0;
        withBauble[k] = slotPicture(textures.scene.slot[k], &size);
        ASSERT_EQ(size, 64) << "face " << k;
    }
    // The same pass with a sphere that draws nothing, at the same eye.
    SphereMesh hidden;
    buildSphere(hidden, 0.292f, 1, textures.bauble);
    placeSphere(hidden, Vec3(0.1f, -0.2f, 0.05f));
    renderEnvironmentFaces(offscreen.environmentView, hidden, textures.scene, offscreen.environmentRoom, ClothVariant::FallingSheet);
    EXPECT_EQ(textures.scene.slot[7], mainEnvironment);
    long differing = 0;
    for (int k = 0; k < 6; ++k) {
        int size = 0;
        const std::vector<unsigned char> without = slotPicture(textures.scene.slot[k], &size);
        for (size_t i = 0; i < without.size(); ++i) differing += without[i] != withBauble[k][i];
        // And it is the room that shows, not an empty picture.
        EXPECT_LT(share(without, size, Other), 0.6) << "face " << k;
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
