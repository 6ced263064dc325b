// platform_internal.h - state shared by the files of the platform layer.
#pragma once

#include <SDL.h>

#include "platform/platform.h"

struct PlatformState {
    PlatformConfig config;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool quit = false;
    int exitCode = 0;
};
extern PlatformState platform;

void installViewHost();
void installAudioHost();
void shutdownAudio();
