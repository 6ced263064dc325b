// overlays.cpp - fades, logo and greetings.
#include "app/overlays.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "show/gl_state.h"
#include "app/timeline.h"

namespace {


void blackQuad(double opacity) {
    glState::enable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glState::disable(GL_CULL_FACE);
    glBegin(GL_QUADS);
    glColor4d(0, 0, 0, opacity);
    glVertex2f(-320, -240);
    glColor4d(0, 0, 0, opacity);
    glVertex2f(-320, 240);
    glColor4d(0, 0, 0, opacity);
    glVertex2f(320, 240);
    glColor4d(0, 0, 0, opacity);
    glVertex2f(320, -240);
    glEnd();
    glState::disable(GL_BLEND);
}

enum Greeting { Tarvik, Quelm, Murto, Fenri, Kolpa };

// One sprite, 144 x 72 units from its lower-left corner, scaled about the centre.
void sprite(const TexturePair& pair, double scale, float x, float y) {
    glState::matrixMode(GL_MODELVIEW);
    glState::loadIdentity();
    glState::scale(static_cast<float>(scale), static_cast<float>(scale), static_cast<float>(scale));
    glState::enable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    drawTexturePair(pair, x, y, x + 144, y + 72);
}

}  // namespace

void fadeIn(uint32_t t) { blackQuad(1.0 - static_cast<double>(t) / 5000.0); }
void fadeOut(uint32_t t) { blackQuad(static_cast<double>(t) / 5000.0); }
void fadeOutLong(uint32_t t) { blackQuad(static_cast<double>(t) / 15000.0); }

void drawLogo(const TexturePair& logo, uint32_t t) {
    glState::enable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glState::matrixMode(GL_MODELVIEW);
    glState::loadIdentity();
    if (t < 8000) {
        const float s = static_cast<float>(8000.0 / static_cast<double>(t > 0 ? t : 1));
        glState::scale(s, s, s);
    }
    drawTexturePair(logo, -150, -150, 150, 150);
}

double greetingScale(uint32_t t, uint32_t growthStart) {
    if (t <= growthStart) return 0.0;
    double s = 0.7 * static_cast<double>(t - growthStart) / 3500.0;
    return s > 1.4 ? 1.4 : s;
}

void drawGreetings(const TexturePair* greetings, uint32_t t) {
    glState::disable(GL_CULL_FACE);
    ortho2d();
    glState::enable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glState::matrixMode(GL_MODELVIEW);
    glState::loadIdentity();
    if (t < 9000) {
        sprite(greetings[Murto], greetingScale(t, 0), -80, -32);
    } else if (t < 18000) {
        const double s = greetingScale(t, 9000);
        sprite(greetings[Quelm], s, 40, 28);
        sprite(greetings[Tarvik], s, -200, 28);
    } else if (t < 36000) {
        if (t >= 27000) sprite(greetings[Fenri], greetingScale(t, 27000), -200, 88);
    } else if (t < 45000) {
        sprite(greetings[Kolpa], greetingScale(t, 36000), 40, 88);
    }
    glState::disable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glState::enable(GL_CULL_FACE);
}

std::string showClockText(uint32_t showMs) {
    const uint32_t tenths = showMs / 100;
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u.%u / 5:00", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

namespace {

// The cells of the display's picture: 16 x 32 pixels each along 512 x 32.
constexpr char kDisplayCells[] = "0123456789:./%mutedvol";
constexpr float kCellW = 9, kCellH = 18, kPad = 4;

// A dark box, readable on any scene, from x0 to x1 and y0 to y1.
void darkBox(float x0, float y0, float x1, float y1, float alpha) {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, alpha);
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

// A line of text on a dark box, its top-left corner at (x0, y1).
void textBox(GLuint cells, const std::string& text, float x0, float y1) {
    const float x1 = x0 + kCellW * static_cast<float>(text.size());
    darkBox(x0 - kPad, y1 - kCellH - kPad, x1 + kPad, y1 + kPad, 0.7f);
    if (!cells) return;
    // The characters are added onto the box.
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, cells);
    glState::textureEnvMode(GL_MODULATE);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    for (size_t k = 0; k < text.size(); ++k) {
        const char* cell = std::strchr(kDisplayCells, text[k]);
        if (text[k] == ' ' || !cell) continue;
        const float s0 = static_cast<float>(cell - kDisplayCells) * 16.0f / 512.0f, s1 = s0 + 16.0f / 512.0f;
        const float x = x0 + kCellW * static_cast<float>(k);
        glTexCoord2f(s0, 0);
        glVertex2f(x, y1 - kCellH);
        glTexCoord2f(s1, 0);
        glVertex2f(x + kCellW, y1 - kCellH);
        glTexCoord2f(s1, 1);
        glVertex2f(x + kCellW, y1);
        glTexCoord2f(s0, 1);
        glVertex2f(x, y1);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

}  // namespace

std::string playerSoundText(int volumePercent, bool muted) {
    if (muted) return "muted";
    if (volumePercent < 0) return "";
    return "vol " + std::to_string(volumePercent) + "%";
}

void drawPlayerDisplay(GLuint cells, uint32_t showMs, int volumePercent, bool muted) {
    glState::pushAttributes();
    glState::matrixMode(GL_PROJECTION);
    glState::pushMatrix();
    ortho2d();
    glState::matrixMode(GL_MODELVIEW);
    glState::pushMatrix();
    glState::loadIdentity();
    glState::disable(GL_DEPTH_TEST);
    glState::disable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glState::enable(GL_BLEND);
    textBox(cells, showClockText(showMs), -312, 232);
    const std::string sound = playerSoundText(volumePercent, muted);
    if (!sound.empty()) textBox(cells, sound, 312 - kCellW * static_cast<float>(sound.size()), 232);
    // The whole show as a thin bar along the bottom, filled as far as played.
    const float left = -312, right = 312, bottom = -232, top = -228;
    const float played = static_cast<float>(std::min<uint32_t>(showMs, kShowLengthMs)) / kShowLengthMs;
    darkBox(left - 2, bottom - 2, right + 2, top + 2, 0.6f);
    glState::disable(GL_BLEND);
    glColor3f(0.85f, 0.85f, 0.85f);
    glBegin(GL_QUADS);
    glVertex2f(left, bottom);
    glVertex2f(left + (right - left) * played, bottom);
    glVertex2f(left + (right - left) * played, top);
    glVertex2f(left, top);
    glEnd();
    glState::matrixMode(GL_MODELVIEW);
    glState::popMatrix();
    glState::matrixMode(GL_PROJECTION);
    glState::popMatrix();
    glState::popAttributes();
}
