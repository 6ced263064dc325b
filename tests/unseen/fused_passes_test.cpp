// The programs that fold blended passes into one must reproduce the frame
// buffer's own 8-bit arithmetic: every picture byte against every colour
// byte, drawn the long way and by each program, and both against the bytes
// worked out here.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "render/fused_passes.h"
#include "support/offscreen_gl.h"

namespace {

constexpr int W = 320, H = 240;

// Picture bytes at column x, colour bytes at row y: three channels each,
// spread so that every channel meets all 256 values. The second picture
// runs another way.
int pictureByte(int x, int channel) { return channel == 0 ? x : channel == 1 ? 255 - x : (x * 37) % 256; }
int secondByte(int x, int channel) { return channel == 0 ? (x * 53 + 17) % 256 : channel == 1 ? x : 255 - x; }
int colourByte(int y, int channel) { return channel == 0 ? y : channel == 1 ? (y * 91) % 256 : 255 - y; }

// a * b / 255 as the software rasterizer's blending works it: to the
// nearest but for 24 pairs, each one below (152 x 229 gives 136, not 137).
int times(int a, int b) {
    const int t = a * b;
    return (t + (t >> 8) + 128) >> 8;
}
int plus(int a, int b) { return std::min(255, a + b); }

GLuint texture(int (*byte)(int, int)) {
    std::vector<unsigned char> texels(256 * 3);
    for (int x = 0; x < 256; ++x)
        for (int c = 0; c < 3; ++c) texels[x * 3 + c] = static_cast<unsigned char>(byte(x, c));
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

// Rows of colour bytes from firstRow over 256 columns of picture bytes,
// one pixel each.
void drawRows(int firstRow, int rows) {
    glBegin(GL_QUADS);
    for (int r = 0; r < rows; ++r) {
        const int y = firstRow + r;
        glColor3ub(static_cast<GLubyte>(colourByte(y, 0)), static_cast<GLubyte>(colourByte(y, 1)),
                   static_cast<GLubyte>(colourByte(y, 2)));
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
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// One more pass of the same rows: the picture in the given environment,
// blended by the given factors onto what the first pass left.
void blendedPass(int firstRow, int rows, GLuint picture, GLenum environment, GLenum source, GLenum destination) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, picture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, environment);
    glEnable(GL_BLEND);
    glBlendFunc(source, destination);
    glDepthFunc(GL_EQUAL);
    drawRows(firstRow, rows);
    glDepthFunc(GL_LESS);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

struct Case {
    const char* name;
    FusedPasses program;
    bool overPixel;  // the program works on a pixel the colour pass put down
    // The long way over the rows, and the bytes it must give.
    std::function<void(int, int, GLuint, GLuint)> passes;
    std::function<int(int t, int u, int k)> expected;
};

// How many pixels of the rows differ from the expected bytes.
int wrongPixels(const std::vector<unsigned char>& px, int firstRow, int rows, const Case& c) {
    int wrong = 0;
    for (int r = 0; r < rows; ++r)
        for (int x = 0; x < 256; ++x)
            for (int ch = 0; ch < 3; ++ch) {
                const int want = c.expected(pictureByte(x, ch), secondByte(x, ch), colourByte(firstRow + r, ch));
                if (px[(static_cast<size_t>(r) * W + x) * 4 + ch] != want) {
                    ++wrong;
                    break;
                }
            }
    return wrong;
}

TEST(FusedPasses, EveryPictureByteAgainstEveryColourByteAsTheBlendingGivesIt) {
    ASSERT_TRUE(openOffscreenGl(W, H));
    host.makeMainCurrent();
    const GLuint first = texture(pictureByte), second = texture(secondByte);
    auto colourPass = [](int row, int rows) { drawRows(row, rows); };
    const Case cases[] = {
        {"picture x colour + colour", FusedPasses::PictureTimesColourPlusColour, false,
         [&](int row, int rows, GLuint p, GLuint) {
             glEnable(GL_TEXTURE_2D);
             glBindTexture(GL_TEXTURE_2D, p);
             glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
             drawRows(row, rows);
             glDisable(GL_TEXTURE_2D);
             glEnable(GL_BLEND);
             glDepthFunc(GL_EQUAL);
             glBlendFunc(GL_DST_COLOR, GL_ZERO);
             drawRows(row, rows);
             glBlendFunc(GL_ONE, GL_ONE);
             drawRows(row, rows);
             glDisable(GL_BLEND);
             glDepthFunc(GL_LESS);
         },
         [](int t, int, int k) { return plus(times(t, k), k); }},
        {"pixel x colour + colour", FusedPasses::PixelTimesColourPlusColour, true, nullptr,
         [](int, int, int k) { return plus(times(k, k), k); }},
        {"colour + picture", FusedPasses::ColourPlusPicture, false,
         [&](int row, int rows, GLuint p, GLuint) {
             colourPass(row, rows);
             blendedPass(row, rows, p, GL_DECAL, GL_ONE, GL_ONE);
         },
         [](int t, int, int k) { return plus(k, t); }},
        {"colour + two pictures", FusedPasses::ColourPlusTwoPictures, false,
         [&](int row, int rows, GLuint p, GLuint q) {
             colourPass(row, rows);
             blendedPass(row, rows, p, GL_DECAL, GL_ONE, GL_ONE);
             blendedPass(row, rows, q, GL_DECAL, GL_ONE, GL_ONE);
         },
         [](int t, int u, int k) { return plus(plus(k, t), u); }},
        {"pixel + picture", FusedPasses::PixelPlusPicture, true, nullptr, [](int t, int, int k) { return plus(k, t); }},
        {"pixel + two pictures", FusedPasses::PixelPlusTwoPictures, true, nullptr,
         [](int t, int u, int k) { return plus(plus(k, t), u); }},
        {"colour x picture", FusedPasses::ColourTimesPicture, false,
         [&](int row, int rows, GLuint p, GLuint) {
             colourPass(row, rows);
             blendedPass(row, rows, p, GL_DECAL, GL_DST_COLOR, GL_ZERO);
         },
         [](int t, int, int k) { return times(k, t); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GLuint program = fusedPassProgram(c.program);
        ASSERT_NE(program, 0u) << "software GL builds every program";
        for (int row = 0; row < 256; row += 128) {
            SCOPED_TRACE("colour bytes from " + std::to_string(row));
            if (c.passes) {
                startFrame();
                c.passes(row, 128, first, second);
                EXPECT_EQ(wrongPixels(readPixels(W, H), row, 128, c), 0) << "the long way";
            }
            startFrame();
            if (c.overPixel) {
                // The colour pass first; the program then works on its pixels.
                colourPass(row, 128);
                glDepthFunc(GL_EQUAL);
            }
            glActiveTexture(GL_TEXTURE1);
            glBindTexture(GL_TEXTURE_2D, second);
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, first);
            glUseProgram(program);
            drawRows(row, 128);
            glUseProgram(0);
            glDepthFunc(GL_LESS);
            EXPECT_EQ(wrongPixels(readPixels(W, H), row, 128, c), 0) << "one pass";
        }
    }
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    const GLuint names[2] = {first, second};
    glDeleteTextures(2, names);
}

}  // namespace
