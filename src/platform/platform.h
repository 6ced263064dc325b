// platform.h - the window, its GL context, input, clock, message boxes,
// offscreen views and the audio device, on SDL2 and SDL2_mixer. Nothing
// outside src/platform touches SDL; the show reaches this layer through the
// Host table (app/host.h), which platformInit fills in.
#pragma once

#include <cstddef>
#include <string>

#include "app/show_clock.h"

enum class VideoMode {
    Fullscreen,  // the show as made: full screen, closest mode to 640x480 at 120 Hz
    Window,      // a window of the given size
    Offscreen,   // no display at all (shots, recording, bench, tests)
};

struct PlatformConfig {
    VideoMode mode = VideoMode::Fullscreen;
    int width = 640;
    int height = 480;
    bool vsync = true;
};

// Starts SDL's video and events and installs the host table. False, with a
// reason, when there is no display to open.
bool platformInit(const PlatformConfig& config, std::string& error);
// Creates the window (hidden) titled "Hello" and its GL context, current.
bool platformOpenWindow(std::string& error);
// Shows the window once the start-up load is done, and hides the cursor.
void platformShowWindow();

enum class PlatformEventKind { None, Quit, Key, Resize, Close };
// The keys the player reads; letters arrive as their lower-case character.
enum PlatformKey : int {
    kKeyEscape = 27,
    kKeySpace = ' ',
    kKeyLeft = 0x10000,
    kKeyRight,
    kKeyUp,
    kKeyDown,
    kKeyHome,
    kKeyOther,  // any other key that is no character
};
struct PlatformEvent {
    PlatformEventKind kind = PlatformEventKind::None;
    int key = 0;          // Key: a PlatformKey or a character
    bool repeat = false;  // Key: sent again because the key is held down
    int width = 0, height = 0;
};
// Takes the next waiting event; false when none is waiting.
bool platformPollEvent(PlatformEvent& event);
// True once the show has asked to end; exitCode tells with what.
bool platformQuitRequested(int* exitCode);

// Milliseconds since SDL started, as the unsigned 32-bit system tick.
ShowTicks platformTicks();
// High-resolution seconds for pacing and measuring.
double platformSeconds();
void platformSleep(double seconds);
// The refresh rate the display reports, 0 when unknown.
int platformRefreshRate();

void platformShutdown();

// A child process fed through a pipe (the recorder's ffmpeg).
struct PlatformPipe;
// Starts command with its standard input on a pipe; null on failure.
PlatformPipe* platformOpenPipe(const std::string& command);
// Writes all bytes; false once the child has gone away.
bool platformWritePipe(PlatformPipe* pipe, const void* bytes, size_t size);
// Closes the pipe and waits: the child's exit code, or -1.
int platformClosePipe(PlatformPipe* pipe);
// True when a program of that name is on the PATH.
bool platformHasProgram(const char* name);
// The process id, for temporary file names.
int platformProcessId();
// True when standard error is a terminal (a progress bar can redraw itself).
bool platformStderrIsTerminal();
