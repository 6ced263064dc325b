// Letter tiles: glyph pictures load under their letters' names, letters
// stand upright in the rendered frame, and a tile list never shows more
// tiles than its glyph set has letters.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "app/show_textures.h"
#include "cloth_test_util.h"
#include "image/glyphs.h"
#include "render/letter_tiles.h"
#include "math/random.h"
#include "physics/bodies.h"
#include "physics/simulation.h"
#include "render/cloth.h"

namespace {

class LetterTiles : public ::testing::Test {
protected:
    void SetUp() override {
        resetShowPhysics();
        resetShowRand();
        ASSERT_TRUE(freshFrame(0.5f));
    }
    void TearDown() override { resetShowPhysics(); }
};

// Runs f with the working directory set to dir, then goes back.
template <typename F>
void inDirectory(const std::string& dir, F f) {
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    f();
    ASSERT_EQ(chdir(old), 0);
}

// 8 x 8, rows top first: quadrants red (top left), green (top right),
// blue (bottom left), black (bottom right).
std::vector<uint8_t> quadrantPicture() {
    std::vector<uint8_t> px(8 * 8 * 3, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            uint8_t* p = &px[(y * 8 + x) * 3];
            if (y < 4 && x < 4) p[0] = 255;
            if (y < 4 && x >= 4) p[1] = 255;
            if (y >= 4 && x < 4) p[2] = 255;
        }
    return px;
}

// White (see-through) only in the bottom-right quadrant.
std::vector<uint8_t> quadrantMask() {
    std::vector<uint8_t> px(8 * 8 * 3, 0);
    for (int y = 4; y < 8; ++y)
        for (int x = 4; x < 8; ++x)
            for (int c = 0; c < 3; ++c) px[(y * 8 + x) * 3 + c] = 255;
    return px;
}

}  // namespace

TEST(GlyphSets, SpellTheirWordsAndEveryPictureIsGenerated) {
    EXPECT_STREQ(kGlyphSetALetters, "morvinalsultypakh");
    EXPECT_STREQ(kGlyphSetBLetters, "amigarulez1994");
    const std::string images = std::string(BAUBLES_ASSET_DIR) + "/Images/";
    struct stat st;
    for (const char* set : {kGlyphSetALetters, kGlyphSetBLetters})
        for (const char* c = set; *c; ++c) {
            EXPECT_EQ(stat((images + *c + ".bmp").c_str(), &st), 0) << *c;
            EXPECT_EQ(stat((images + *c + "_alpha.bmp").c_str(), &st), 0) << *c;
        }
}

TEST_F(LetterTiles, AQuadrantGlyphLoadedAsTheFirstLetterStandsUpright) {
    // The real loader reads "Images/m.bmp" for position 0 of set A.
    const std::string dir = tempPath("glyphs_upright");
    mkdir(dir.c_str(), 0755);
    mkdir((dir + "/Images").c_str(), 0755);
    ASSERT_TRUE(writeTestBmp(dir + "/Images/m.bmp", 8, 8, quadrantPicture()));
    ASSERT_TRUE(writeTestBmp(dir + "/Images/m_alpha.bmp", 8, 8, quadrantMask()));
    TexturePair set[kGlyphSetASize];
    for (TexturePair& p : set) glGenTextures(2, &p.colour);
    inDirectory(dir, [&] { loadGlyphSetA(set); });
    ASSERT_TRUE(freshFrame(0.5f));  // the loads bound textures; start clean

    // One tile, 80 x 80 at (40, 20): quadrant centres 20 px in from each side.
    Particle* head = tileList({{40, 20, 80}});
    EXPECT_EQ(drawLetterTiles(head, set, kGlyphSetASize), 1);

    const Rgb upperLeft = pixelAt(60, 80), upperRight = pixelAt(100, 80);
    const Rgb lowerLeft = pixelAt(60, 40), lowerRight = pixelAt(100, 40);
    EXPECT_GT(upperLeft.r, 240);
    EXPECT_LT(upperLeft.g + upperLeft.b, 15);
    EXPECT_GT(upperRight.g, 240);
    EXPECT_LT(upperRight.r + upperRight.b, 15);
    EXPECT_GT(lowerLeft.b, 240);
    EXPECT_LT(lowerLeft.r + lowerLeft.g, 15);
    // Where the mask is white the frame shows through untouched.
    EXPECT_NEAR(lowerRight.r, 128, 2);
    EXPECT_NEAR(lowerRight.g, 128, 2);
    EXPECT_NEAR(lowerRight.b, 128, 2);
    // Outside the tile nothing changed.
    EXPECT_NEAR(pixelAt(20, 60).r, 128, 2);

    // The state is as the caller had it, apart from what the tile promised.
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LESS);
}

TEST_F(LetterTiles, TheFinalesFifteenthTileIsNeverDrawn) {
    buildFinaleCloth(showBodies.finaleCloth);
    Particle* head = showBodies.finaleCloth.body.particles;
    ASSERT_EQ(showBodies.finaleCloth.tileCount, 15);
    // Lay the fifteen tiles out as a 5 x 3 board, tile k in cell k.
    auto cell = [](int k) { return TileSquare{static_cast<float>(4 + 31 * (k % 5)), static_cast<float>(84 - 38 * (k / 5)), 26}; };
    for (int k = 0; k < 15; ++k) placeTile(head, k, cell(k));
    auto centreOf = [&](int k) { return pixelAt(static_cast<int>(cell(k).x0 + 13), static_cast<int>(cell(k).y0 + 13)); };

    TexturePair white[kGlyphSetASize];
    for (TexturePair& p : white) p = solidPair(255, 255, 255);

    // The finale's own drawing, handed more pairs than its set holds.
    ASSERT_TRUE(freshFrame(0.0f));
    drawCloth(ClothVariant::FinaleTiles, 0, white);
    for (int k = 0; k < 14; ++k) EXPECT_GT(centreOf(k).r, 240) << "tile " << k;
    EXPECT_LT(centreOf(14).r, 10) << "the fifteenth tile was drawn";

    // The same board with seventeen pairs does reach the fifteenth cell.
    ASSERT_TRUE(freshFrame(0.0f));
    EXPECT_EQ(drawLetterTiles(head, white, kGlyphSetASize), 15);
    EXPECT_GT(centreOf(14).r, 240);
}

TEST_F(LetterTiles, TileKShowsPairKAndAListCutShortDrawsNoHalfTile) {
    TexturePair pairs[3] = {solidPair(255, 0, 0), solidPair(0, 255, 0), solidPair(0, 0, 255)};
    ASSERT_TRUE(freshFrame(0.0f));
    Particle* head = tileList({{10, 10, 30}, {60, 10, 30}, {110, 10, 30}});
    // Cut the list inside the third tile: two of its corners are left.
    Particle* cut = nthParticle(head, 2 + 6 * 2 + 1);
    cut->next = nullptr;
    EXPECT_EQ(drawLetterTiles(head, pairs, 3), 2);
    EXPECT_GT(pixelAt(25, 25).r, 240);
    EXPECT_GT(pixelAt(75, 25).g, 240);
    const Rgb third = pixelAt(125, 25);
    EXPECT_LT(third.r + third.g + third.b, 10);
}

TEST_F(LetterTiles, FinaleTilesDrawnTwiceOverTheDepthTheyLeftShowTheirPictureOnce) {
    // The finale draws its tiles with the depth test on, a plain pass and a
    // second pass under GL_EQUAL over the depth the first one left. Every
    // tile, not only the first, must end as its picture and not as the
    // picture added twice.
    buildFinaleCloth(showBodies.finaleCloth);
    Particle* head = showBodies.finaleCloth.body.particles;
    auto cell = [](int k) { return TileSquare{static_cast<float>(4 + 31 * (k % 5)), static_cast<float>(84 - 38 * (k / 5)), 26}; };
    for (int k = 0; k < 15; ++k) placeTile(head, k, cell(k));
    TexturePair pairs[kGlyphSetBSize];
    for (int k = 0; k < kGlyphSetBSize; ++k) pairs[k] = solidPair(static_cast<uint8_t>(100 + 5 * k), 60, 30);

    ASSERT_TRUE(freshFrame(0.5f));
    // The finale's path cameras leave the front face clockwise, the way the
    // tiles' corners run on screen: the second draw, with culling back on,
    // still shows them.
    glFrontFace(GL_CW);
    drawClothScene(ClothVariant::FinaleTiles, 0, pairs);
    glFrontFace(GL_CCW);
    for (int k = 0; k < kGlyphSetBSize; ++k) {
        const Rgb c = pixelAt(static_cast<int>(cell(k).x0 + 13), static_cast<int>(cell(k).y0 + 13));
        EXPECT_NEAR(c.r, 100 + 5 * k, 3) << "tile " << k;
        EXPECT_NEAR(c.g, 60, 3) << "tile " << k;
        EXPECT_NEAR(c.b, 30, 3) << "tile " << k;
    }
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LESS);
}
