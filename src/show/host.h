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
#include <string>
#include <vector>

struct OffscreenView;  // owned by the platform layer

// How reading an asset went: read, not there, or there but not taken.
enum class FileRead { Ok, Missing, Refused };

struct Host {
    // A modal error box with the given caption and text (also on stderr).
    void (*messageBox)(const char* caption, const char* text);
    // Main context: make current, present the back buffer, release.
    void (*makeMainCurrent)();
    void (*swapBuffers)();
    void (*releaseContext)();
    // The size the show draws at: its "screen metrics". Always the size of
    // the picture the show sees, whatever the window around it.
    void (*screenSize)(int* width, int* height);
    // Puts the finished picture where it is shown (scaled into the window
    // between black bars, when they differ), ready to read back or present.
    void (*composeFrame)();
    // The size of what composeFrame leaves to read back: the whole window,
    // or the picture where no window is seen.
    void (*outputSize)(int* width, int* height);
    // Ends the event loop with the given exit code.
    void (*postQuit)(int code);

    // Reads a whole asset file into bytes: only a regular file of at most
    // maxBytes. Refused comes with a reason in plain English.
    FileRead (*readFile)(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason);

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
    // The track's loudness, 0 (silent) to 1 (as stored); muting keeps it.
    void (*setMusicVolume)(double volume);
    void (*closeAudio)();
};

// The table in force. Starts with harmless stand-ins: messages go to
// stderr, there is no context to switch and no sound.
extern Host host;

// Puts the stand-ins back (tests).
void resetHost();

// One line on stderr about an asset the show did not take: the file, why,
// and what the show does instead.
void reportAsset(const std::string& path, const std::string& reason, const char* instead);
