// host.h - what the show asks of the machine it runs on, as a table of
// functions that the platform layer fills in at start-up. The show's code
// never touches the window system, the audio device or the OS itself, so the
// tests can run it with no window and with fakes in place of the device.
//
// Glossary:
//   main context   the GL context of the window; current while a frame runs
//   offscreen view a square GL target with its own context (names, lists and
//                  texture environment are its own) and its own framebuffer
//   music          one MP3 track, played once from a memory buffer
#pragma once

#include <cstddef>
#include <cstdint>

struct OffscreenView;  // owned by the platform layer

struct Host {
    // A modal error box with the given caption and text (also on stderr).
    void (*messageBox)(const char* caption, const char* text);
    // Main context: make current, present the back buffer, release.
    void (*makeMainCurrent)();
    void (*swapBuffers)();
    void (*releaseContext)();
    // The drawable's size: the show's "screen metrics".
    void (*screenSize)(int* width, int* height);
    // Ends the event loop with the given exit code.
    void (*postQuit)(int code);

    // Offscreen views: a size x size target with its own GL context.
    OffscreenView* (*createView)(int size);
    void (*makeViewCurrent)(OffscreenView* view);

    // Audio: open the device; false when it cannot be opened.
    bool (*openAudio)();
    // Prepare the track from bytes that stay alive while it plays; false when
    // they are not a playable track.
    bool (*loadMusic)(const uint8_t* bytes, size_t size);
    void (*playMusic)();
    void (*seekMusic)(double seconds);
    // Holds or lets go of the track where it is; silences it or not, playing on.
    void (*pauseMusic)(bool paused);
    void (*muteMusic)(bool muted);
    void (*closeAudio)();
};

// The table in force. Starts with harmless stand-ins: messages go to
// stderr, there is no context to switch and no sound.
extern Host host;

// Puts the stand-ins back (tests).
void resetHost();
