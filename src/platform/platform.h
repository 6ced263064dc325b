// platform.h - the window, its GL context, input, clock, message boxes,
// offscreen views and the audio device, on SDL2 and SDL2_mixer. Nothing
// outside src/platform touches SDL; the show reaches this layer through the
// Host table (show/host.h), which platformInit fills in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "show/show_clock.h"

enum class VideoMode {
    Fullscreen,  // full screen at the desktop's own mode (or 640x480, with modeSwitch)
    Window,      // a window of the given size, which may be resized
    Offscreen,   // no display at all (shots, recording, bench, tests)
};

// The show's picture is always 4:3. It is drawn into a picture of its own
// render size, then copied into the window centred between black bars: at
// the largest whole multiple of its size where that fills most of the
// window's 4:3 area, else scaled to the whole area. Offscreen, a 4:3 size is
// drawn as it is.
struct PlatformConfig {
    VideoMode mode = VideoMode::Fullscreen;
    int width = 640;
    int height = 480;
    bool vsync = true;
    int renderWidth = 0, renderHeight = 0;  // 0: 640x480 on software GL, else the 4:3 area
    bool modeSwitch = false;                // full screen switches the display to 640x480
};

// The largest 4:3 area of a width x height drawable, centred: x, y, w, h.
struct FrameArea {
    int x = 0, y = 0, width = 0, height = 0;
};
FrameArea frameArea(int width, int height);

// Finds the folder holding Images/ and muzyka/: the working directory, the
// data/ folder beside the executable (or beside its folder, for the build
// tree's benchmarks), then the installed data folder beside it
// (../share/baubles). Asset reads go there. False, with the places looked at,
// when none has them.
bool platformFindAssets(std::string& lookedAt);
// The show's picture gets a stencil too (the separate passes use one): it
// is drawn into a picture of its own that has one, made again if made
// already. The main context is current.
void platformWantStencil();
// The start-up load is over: the main context is made current on the
// show's picture for the first frame.
void platformShowLoaded();

// Starts SDL's video and events and installs the host table. False, with a
// reason, when there is no display to open.
bool platformInit(const PlatformConfig& config, std::string& error);
// Creates the window (hidden) titled "Hello" and its GL context, current;
// a live show's size far beyond the displays is noted for platformCheckSizes
// instead, and nothing is opened.
bool platformOpenWindow(std::string& error);
// Whether the window's size and the render size can be drawn and shown:
// within the GL limits of the context (GL_MAX_VIEWPORT_DIMS,
// GL_MAX_RENDERBUFFER_SIZE) and, for the live show, at most twice the
// largest display's sides. False with the size and the limit named. Asked
// once platformOpenWindow has returned, before the load; a window beyond the
// displays was not opened at all then.
bool platformCheckSizes(std::string& reason);
// Whether bytes more memory can be had now: within the memory limits
// (ulimit -v, ulimit -d), tried by mapping them for a moment, and
// residentBytes of them within what the machine has available. False with
// the numbers.
bool platformCheckMemory(uint64_t bytes, uint64_t residentBytes, std::string& reason);
// Shows the window once the start-up load is done, and hides the cursor.
void platformShowWindow();

enum class PlatformEventKind {
    None,
    Quit,
    Key,
    Resize,
    Close,
    Expose,  // the window's pixels were lost (uncovered, restored): draw again
    Hidden,  // minimised or unmapped: nothing drawn is seen
    Shown,   // seen again
};
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
// Takes the next waiting event; false when none is waiting. The window's own
// business is done here: F11, Alt+Enter, f and a double-click toggle full
// screen; the cursor shows while the mouse moves and hides after a second.
bool platformPollEvent(PlatformEvent& event);
// True once the show has asked to end; exitCode tells with what.
bool platformQuitRequested(int* exitCode);

// Milliseconds since SDL started, as the unsigned 32-bit system tick.
ShowTicks platformTicks();
// High-resolution seconds for pacing and measuring.
double platformSeconds();
// Processor seconds the whole process has used, every thread (the GL
// driver's too): a measure of work that a busy machine hardly changes.
double platformCpuSeconds();
void platformSleep(double seconds);
// The refresh rate the display reports, 0 when unknown.
int platformRefreshRate();

void platformShutdown();

// Whether the mixer can decode bytes as the show's track (with SDL's dummy
// device when no device is open): a recording probes the track this way
// before handing it to the encoder.
bool platformProbeTrack(const uint8_t* bytes, size_t size);

// A child process fed through a pipe (the recorder's ffmpeg).
struct PlatformPipe;
// Starts program (a full path) with args (args[0] its name), its standard
// input on a pipe and passFds as its descriptors 3, 4, ...; null with a
// reason on failure, the program's start included (it could not be run, or
// no descriptors were left for it). The child is killed if the show ends on a signal.
PlatformPipe* platformOpenPipe(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<int>& passFds, std::string& reason);
enum class PipeWrite {
    Ok,
    ChildGone,  // the child closed its input or ended
    Stalled,    // the child took nothing for stallSeconds
    Stopped,    // a stop signal came while waiting
};
// Writes all bytes, waiting on the child in short slices.
PipeWrite platformWritePipe(PlatformPipe* pipe, const void* bytes, size_t size, double stallSeconds);
// How the child ended.
struct ChildEnd {
    bool exited = false;   // by itself, with code
    int code = -1;
    int signal = 0;        // or by this signal
    bool killed = false;   // which we sent (abandoned, stopped or too slow)
    bool timedOut = false; // it did not finish within the wait
};
// Closes the pipe and waits for the child. It is killed at once when
// abandon is set, or when a stop signal comes or waitSeconds pass; notice,
// if given, is called once when it is still running after noticeSeconds.
ChildEnd platformClosePipe(PlatformPipe* pipe, bool abandon, double waitSeconds, double noticeSeconds = 0,
                           void (*notice)() = nullptr);
// The name by which the child opens its descriptor childFd (Linux's
// /proc/self/fd/N), or empty where there is none.
std::string platformDescriptorPath(int childFd);
// The full path of a program on the PATH, or empty.
std::string platformFindProgram(const char* name);
// "SIGTERM" and the like.
const char* platformSignalName(int sig);
// True when standard error is a terminal (a progress bar can redraw itself).
bool platformStderrIsTerminal();
