// offscreen_gl.h - a main GL context with no display, for tests that draw
// and read pixels back. Opened once per test program.
#pragma once

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "show/host.h"
#include "platform/platform.h"

// Opens the platform on SDL's offscreen driver with a size x size window.
inline bool openOffscreenGl(int width = 64, int height = 64) {
    static bool opened = false, ok = false;
    if (opened) return ok;
    opened = true;
    // No sound card on a test machine: SDL's dummy device stands in for one.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    PlatformConfig config;
    config.mode = VideoMode::Offscreen;
    config.width = width;
    config.height = height;
    // The picture the tests draw in and read back is the whole window.
    config.renderWidth = width;
    config.renderHeight = height;
    std::string error;
    ok = platformInit(config, error) && platformOpenWindow(error);
    // The tests draw the separate passes too, which keep a stencil.
    if (ok) {
        host.makeMainCurrent();
        platformWantStencil();
    }
    if (!ok) ADD_FAILURE() << "no offscreen GL context: " << error;
    return ok;
}

// Reads the current framebuffer's pixels (RGBA, bottom row first).
inline std::vector<unsigned char> readPixels(int width, int height) {
    std::vector<unsigned char> px(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}
