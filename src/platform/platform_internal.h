// platform_internal.h - state shared by the files of the platform layer.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>

#include <string>

#include "platform/platform.h"

struct PlatformState {
    PlatformConfig config;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    // The show's own picture, when it is not drawn straight into the window.
    GLuint frame = 0, frameColour = 0, frameDepth = 0;
    int renderWidth = 0, renderHeight = 0;
    bool followDrawable = false;  // the render size tracks the window's 4:3 area
    std::string assetDir;         // prefix of asset reads; empty: the working directory
    bool quit = false;
    int exitCode = 0;
};
extern PlatformState platform;

void installViewHost();
void installAudioHost();
void shutdownAudio();
