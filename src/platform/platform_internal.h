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
    // The show's own picture, when it is not drawn straight into the window:
    // renderbuffers, blitted into the window. Made with the window, before
    // the start-up load, taking none of the texture names the show counts.
    GLuint frame = 0, frameColour = 0, frameDepth = 0;
    bool frameStencil = false;  // the picture's depth has a stencil
    int renderWidth = 0, renderHeight = 0;  // the size it is (to be) made at
    bool wantFrame = false;       // a picture of its own is wanted
    bool loaded = false;          // the start-up load is over
    bool followDrawable = false;  // the render size tracks the window's 4:3 area
    int barFrames = 0;            // presents still to paint the bars (both buffers)
    std::string assetDir;         // prefix of asset reads; empty: the working directory
    std::string sizeRefusal;      // why the window was not opened at the size asked
    bool quit = false;
    int exitCode = 0;
    double cursorShownAt = -1;    // when the mouse last moved; < 0 while hidden
};
extern PlatformState platform;

void installViewHost();
void installAudioHost();
void shutdownAudio();

// While one lives, what libraries write to standard error is held back: shown
// afterwards, prefixed with source, only when BAUBLES_DEBUG is set
// (chatter.cpp). For calls on the main thread that are known to talk.
class LibraryChatter {
public:
    explicit LibraryChatter(const char* source);
    ~LibraryChatter();
    LibraryChatter(const LibraryChatter&) = delete;
    LibraryChatter& operator=(const LibraryChatter&) = delete;

private:
    const char* source_;
    int saved_ = -1;  // standard error, while descriptor 2 is the file
    int file_ = -1;   // the chatter, in memory
};
