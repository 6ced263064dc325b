// The programs that fold the valley's three blended passes into one must
// reproduce the frame buffer's own 8-bit arithmetic: every picture byte
// against every colour byte, drawn both ways, and both against the sum
// worked out here.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "render/fused_passes.h"
#include "support/offscreen_gl.h"

namespace {

constexpr int W = 320, H = 240;

// Picture byte at column x, colour byte at row y: three channels each,
// spread so that every channel meets all 256 values.
unsigned char pictureByte(int x, int channel) { return static_cast<unsigned char>(channel == 0 ? x : channel == 1 ? 255 - x : (x * 37) % 256); }
unsigned char colourByte(int y, int channel) { return static_cast<unsigned char>(channel == 0 ? y : channel == 1 ? (y * 91) % 256 : 255 - y); }

GLuint pictureTexture() {
    std::vector<unsigned char> texels(256 * 3);
    for (int x = 0; x < 256; ++x)
        for (int c = 0; c < 3; ++c) texels[x * 3 + c] = pictureByte(x, c);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

// Rows of colour bytes firstRow.. over 256 columns of picture bytes, one
// pixel each.
void drawRows(int firstRow, int rows) {
    glBegin(GL_QUADS);
    for (int r = 0; r < rows; ++r) {
        const int y = firstRow + r;
        glColor3ub(colourByte(y, 0), colourByte(y, 1), colourByte(y, 2));
        glTexCoord2f(0, 0);
        glVertex3f(0, static_cast<float>(r), 0);
        glTexCoord2f(1, 0);
        glVertex3f(256, static_cast<float>(r), 0);
        glTexCoord2f(1, 1);
        glVertex3f(256, static_cast<float>(r + 1), 0);
        glTexCoord2f(0, 1);
        glVertex3f(0, static_cast<float>(r + 1), 0);
    }
    glEnd();
}

void startFrame() {
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, W, 0, H, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
}

// The valley's three passes: picture, times the colour, plus the colour.
void threePasses(GLuint picture, int firstRow, int rows) {
    startFrame();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, picture);
    drawRows(firstRow, rows);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDepthFunc(GL_EQUAL);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    drawRows(firstRow, rows);
    glBlendFunc(GL_ONE, GL_ONE);
    drawRows(firstRow, rows);
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
}

void onePass(GLuint program, GLuint picture, int firstRow, int rows, bool pictureFirst) {
    startFrame();
    glBindTexture(GL_TEXTURE_2D, picture);
    if (pictureFirst) {
        // The pixel program works on what is there: the picture, put down plain.
        glEnable(GL_TEXTURE_2D);
        drawRows(firstRow, rows);
        glDisable(GL_TEXTURE_2D);
        glDepthFunc(GL_EQUAL);
    }
    glUseProgram(program);
    drawRows(firstRow, rows);
    glUseProgram(0);
    glDepthFunc(GL_LESS);
}

// How many pixels of the rows differ from min(255, round(t * c / 255) + c).
int wrongPixels(const std::vector<unsigned char>& px, int firstRow, int rows) {
    int wrong = 0;
    for (int r = 0; r < rows; ++r)
        for (int x = 0; x < 256; ++x)
            for (int c = 0; c < 3; ++c) {
                const int t = pictureByte(x, c), k = colourByte(firstRow + r, c);
                const int expected = std::min(255, (t * k + 127) / 255 + k);
                if (px[(static_cast<size_t>(r) * W + x) * 4 + c] != expected) {
                    ++wrong;
                    break;
                }
            }
    return wrong;
}

TEST(FusedPasses, EveryPictureByteTimesEveryColourByteAsTheBlendingGivesIt) {
    ASSERT_TRUE(openOffscreenGl(W, H));
    host.makeMainCurrent();
    const GLuint onPicture = fusedPassProgram(FusedPasses::PictureTimesColourPlusColour);
    const GLuint onPixel = fusedPassProgram(FusedPasses::PixelTimesColourPlusColour);
    ASSERT_NE(onPicture, 0u) << "software GL builds the programs";
    ASSERT_NE(onPixel, 0u);
    const GLuint picture = pictureTexture();
    for (int firstRow = 0; firstRow < 256; firstRow += 128) {
        SCOPED_TRACE("colour bytes from " + std::to_string(firstRow));
        threePasses(picture, firstRow, 128);
        const auto passes = readPixels(W, H);
        onePass(onPicture, picture, firstRow, 128, false);
        const auto fused = readPixels(W, H);
        onePass(onPixel, picture, firstRow, 128, true);
        const auto overPixel = readPixels(W, H);
        EXPECT_EQ(wrongPixels(passes, firstRow, 128), 0);
        EXPECT_EQ(wrongPixels(fused, firstRow, 128), 0);
        EXPECT_EQ(wrongPixels(overPixel, firstRow, 128), 0);
    }
    glDeleteTextures(1, &picture);
}

}  // namespace
