// bench_gl.h - the GL context a benchmark draws in, opened the way the
// program opens its own: no sound card needed, and the pictures and track
// found beside the program (build/data) whatever the working directory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

// Opens the platform once with a main context of that mode and size; false,
// with a line on stderr, when it cannot.
inline bool openBenchGl(VideoMode mode, int width, int height) {
    static bool opened = false, ok = false;
    if (opened) return ok;
    opened = true;
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string error, lookedAt;
    if (!platformFindAssets(lookedAt)) std::fprintf(stderr, "no pictures and track in %s\n", lookedAt.c_str());
    PlatformConfig config;
    config.mode = mode;
    config.width = width;
    config.height = height;
    config.vsync = false;
    ok = platformInit(config, error) && platformOpenWindow(error);
    if (!ok) std::fprintf(stderr, "no GL context: %s\n", error.c_str());
    return ok;
}
