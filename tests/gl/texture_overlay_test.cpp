// Texture uploads read back from GL, the two-pass cut-out drawing, and the
// overlays judged by the pixels they leave on a 640 x 480 frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/overlays.h"
#include "app/timeline.h"
#include "image/texture.h"
#include "support/bmp_file.h"
#include "support/offscreen_gl.h"

namespace {

const int W = 640, H = 480;

std::string tempPath(const char* name) { return std::string(::testing::TempDir()) + name; }

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openOffscreenGl(W, H));
        host.makeMainCurrent();
        glViewport(0, 0, W, H);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glDepthFunc(GL_LESS);
        ortho2d();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    // Clears to a grey level with depth 1.
    void clear(float grey) {
        glClearColor(grey, grey, grey, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // Red channel at 2D units (x, y) of the 640 x 480 space.
    int redAt(float x, float y) {
        unsigned char px[4];
        glReadPixels(static_cast<int>(x + 320), static_cast<int>(y + 240), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return px[0];
    }
    // A pair whose mask is all black (opaque) and whose colour is white.
    TexturePair whitePair() {
        TexturePair p;
        glGenTextures(2, &p.colour);
        writeTestBmp(tempPath("white.bmp"), 4, 4, solid(4, 4, 255, 255, 255));
        writeTestBmp(tempPath("black.bmp"), 4, 4, solid(4, 4, 0, 0, 0));
        prepareTexture(p.colour);
        EXPECT_EQ(loadTexture(tempPath("white.bmp").c_str()), 0);
        prepareTexture(p.mask);
        EXPECT_EQ(loadTexture(tempPath("black.bmp").c_str()), 0);
        return p;
    }
};

}  // namespace

TEST_F(Frame, PicturesUploadBottomRowFirstWithTheirMipmapChain) {
    // 4 x 2: top row red, bottom row blue.
    std::vector<uint8_t> px = solid(4, 2, 0, 0, 255);
    for (int x = 0; x < 4; ++x) px[x * 3] = 255, px[x * 3 + 2] = 0;
    ASSERT_TRUE(writeTestBmp(tempPath("four_by_two.bmp"), 4, 2, px));
    GLuint names[2];
    glGenTextures(2, names);
    prepareTexture(names[0]);
    ASSERT_EQ(loadTexture(tempPath("four_by_two.bmp").c_str()), 0);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    unsigned char back[4 * 2 * 3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back);
    EXPECT_EQ(back[0], 0);      // first row in memory is the picture's bottom: blue
    EXPECT_EQ(back[2], 255);
    EXPECT_EQ(back[12], 255);   // second row: red
    EXPECT_EQ(back[14], 0);
    GLint env = 0, wrap = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(env, GL_MODULATE);
    EXPECT_EQ(wrap, GL_REPEAT);

    ASSERT_TRUE(writeTestBmp(tempPath("eight.bmp"), 8, 4, solid(8, 4, 10, 200, 30)));
    prepareTexture(names[1]);
    ASSERT_EQ(loadMipmappedTexture(tempPath("eight.bmp").c_str()), 0);
    for (int level = 0, ew = 8, eh = 4; level <= 3; ++level, ew = std::max(1, ew / 2), eh = std::max(1, eh / 2)) {
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(w, ew) << "level " << level;
        EXPECT_EQ(h, eh) << "level " << level;
    }
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);

    // A missing picture fails and leaves the bound texture as it was.
    prepareTexture(names[0]);
    EXPECT_EQ(loadTexture(tempPath("no-such-picture.bmp").c_str()), -1);
    EXPECT_EQ(loadMipmappedTexture("Images\\no-such-picture.bmp"), -1);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 4);
}

TEST_F(Frame, CutOutPairKeepsTheFrameWhereTheMaskIsWhite) {
    clear(0.5f);
    glEnable(GL_DEPTH_TEST);
    // Mask: left half white (transparent), right half black. Colour: black
    // where the mask is white, red elsewhere.
    std::vector<uint8_t> mask = solid(4, 4, 0, 0, 0), colour = solid(4, 4, 255, 0, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x) {
            uint8_t* m = &mask[(y * 4 + x) * 3];
            m[0] = m[1] = m[2] = 255;
            uint8_t* c = &colour[(y * 4 + x) * 3];
            c[0] = c[1] = c[2] = 0;
        }
    writeTestBmp(tempPath("mask.bmp"), 4, 4, mask);
    writeTestBmp(tempPath("colour.bmp"), 4, 4, colour);
    TexturePair pair;
    glGenTextures(2, &pair.colour);
    prepareTexture(pair.colour);
    loadTexture(tempPath("colour.bmp").c_str());
    prepareTexture(pair.mask);
    loadTexture(tempPath("mask.bmp").c_str());
    glColor3f(1, 1, 1);
    drawTexturePair(pair, -200, -100, 200, 100);
    unsigned char left[4], right[4], outside[4];
    glReadPixels(320 - 150, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, left);
    glReadPixels(320 + 150, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, right);
    glReadPixels(320 + 250, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, outside);
    EXPECT_NEAR(left[0], 127, 2);  // the frame shows through
    EXPECT_NEAR(left[1], 127, 2);
    EXPECT_NEAR(right[0], 255, 2);   // the picture replaces the frame
    EXPECT_NEAR(right[1], 0, 2);
    EXPECT_NEAR(outside[0], 127, 2);
    // Drawing leaves texturing and blending off and the depth function at LESS.
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LESS);
    glDisable(GL_DEPTH_TEST);
}

// The decoded pictures have one budget for the whole load: a picture past it
// is skipped as if missing, and it and a spoiled picture each get one line
// naming the file and the reason.
TEST_F(Frame, PicturesPastTheBudgetAndSpoiledOnesAreSkippedWithOneLineEach) {
    const std::string fits = tempPath("budget-a.bmp"), past = tempPath("budget-b.bmp");
    const std::string spoiled = tempPath("budget-spoiled.bmp");
    writeTestBmp(fits, 16, 16, solid(16, 16, 10, 20, 30));
    writeTestBmp(past, 16, 16, solid(16, 16, 10, 20, 30));
    {
        std::FILE* f = std::fopen(spoiled.c_str(), "wb");
        std::fputs("GIF89a, not a bitmap at all", f);
        std::fclose(f);
    }
    const uint64_t cost = 16 * 16 * 3;  // rows of 48 bytes, already 4-byte aligned
    const TextureState saved = textureState;
    GLuint name = 0;
    glGenTextures(1, &name);
    prepareTexture(name);

    textureState.decodedBytes = kMaxDecodedPictureBytes - cost;  // room for exactly one
    EXPECT_EQ(loadTexture(fits.c_str()), 0);
    EXPECT_EQ(textureState.decodedBytes, kMaxDecodedPictureBytes);

    testing::internal::CaptureStderr();
    EXPECT_EQ(loadTexture(past.c_str()), -1);
    EXPECT_EQ(loadTexture(past.c_str()), -1);  // asked for twice, told once
    EXPECT_EQ(loadTexture(spoiled.c_str()), -1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    EXPECT_NE(said.find(past + " is skipped"), std::string::npos) << said;
    EXPECT_NE(said.find("512 MB"), std::string::npos) << said;
    EXPECT_NE(said.find(spoiled + " is not a BMP picture"), std::string::npos) << said;

    // A mipmapped picture costs its smaller levels as well: a third more.
    textureState.decodedBytes = kMaxDecodedPictureBytes - cost;
    EXPECT_EQ(loadMipmappedTexture(fits.c_str()), -1);
    textureState.decodedBytes = kMaxDecodedPictureBytes - cost - cost / 3;
    EXPECT_EQ(loadMipmappedTexture(fits.c_str()), 0);
    textureState = saved;
    glDeleteTextures(1, &name);
}

TEST_F(Frame, FadesReachTheirOpacities) {
    struct Case {
        void (*fade)(uint32_t);
        uint32_t t;
        int expected;  // red over a white frame
    } cases[] = {
        {fadeIn, 0, 0},        {fadeIn, 2500, 127},  {fadeIn, 5000, 255},     {fadeIn, 9000, 255},
        {fadeOut, 0, 255},     {fadeOut, 2500, 127}, {fadeOut, 7000, 0},      {fadeOutLong, 14000, 17},
        {fadeOutLong, 30000, 0},
    };
    for (const Case& c : cases) {
        clear(1.0f);
        c.fade(c.t);
        EXPECT_NEAR(redAt(0, 0), c.expected, 2) << "t " << c.t;
        EXPECT_NEAR(redAt(-319, 239), c.expected, 2) << "corner, t " << c.t;
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    }
}

TEST_F(Frame, LogoShrinksToItsOwnSizeOverEightSeconds) {
    TexturePair logo = whitePair();
    auto widthAt = [&](uint32_t t) {
        clear(0.0f);
        drawLogo(logo, t);
        int right = 0;
        for (int x = 0; x < 320; ++x)
            if (redAt(static_cast<float>(x), 0) > 200) right = x;
        return right;
    };
    EXPECT_NEAR(widthAt(8000), 149, 1);   // its own size: 150 units either side
    EXPECT_NEAR(widthAt(20000), 149, 1);
    EXPECT_NEAR(widthAt(4000), 299, 1);   // scaled by 2: 300 units
    clear(0.0f);
    drawLogo(logo, 6000);                 // 8000/6000: 200 units
    EXPECT_GT(redAt(195, 0), 200);
    EXPECT_LT(redAt(205, 0), 50);
}

TEST_F(Frame, GreetingsGrowThroughTheirStages) {
    TexturePair pairs[5];
    for (TexturePair& p : pairs) p = whitePair();
    auto litAt = [&](uint32_t t, float x, float y) {
        clear(0.0f);
        drawGreetings(pairs, t);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        return redAt(x, y) > 200;
    };
    // murto at 0.7 at t = 3500: (-80,-32)-(64,40) shrinks to (-56,-22.4)-(44.8,28).
    EXPECT_TRUE(litAt(3500, 40, 0));
    EXPECT_FALSE(litAt(3500, 50, 0));
    EXPECT_FALSE(litAt(0, 0, 0));  // scale 0 at the start
    // quelm and tarvik are invisible at 9000 and at 1.4 by 16000.
    EXPECT_FALSE(litAt(9000, 0, 0));
    EXPECT_TRUE(litAt(16000, 250, 100));    // quelm (40,28)-(184,100) x 1.4
    EXPECT_TRUE(litAt(16000, -250, 100));   // tarvik (-200,28)-(-56,100) x 1.4
    // fenri waits for t = 27000 inside its stage; nothing at 20000.
    EXPECT_FALSE(litAt(20000, -180, 120));
    EXPECT_TRUE(litAt(34000, -180, 160));   // fenri (-200,88)-(-56,160) x 1.4
    EXPECT_TRUE(litAt(44000, 180, 160));    // kolpa (40,88)-(184,160) x 1.4
    EXPECT_FALSE(litAt(45000, 180, 160));
    // Greetings end with texturing and culling on, blending off.
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_DOUBLE_EQ(greetingScale(3500, 0), 0.7);
    EXPECT_DOUBLE_EQ(greetingScale(16000, 9000), 1.4);
    EXPECT_DOUBLE_EQ(greetingScale(40000, 27000), 1.4);
}
