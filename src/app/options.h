// options.h - the command line. With no arguments the program is the show
// exactly as made; the options add a window, a later start, screenshots,
// recording to a video and a benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Options {
    enum class Mode { Show, Shots, Record, Bench, GlInfo, Help, Version } mode = Mode::Show;
    bool windowed = false;
    int width = 640, height = 480;  // --window WxH or --size WxH
    std::string shotsDir;
    std::vector<uint32_t> shotTimes;  // milliseconds, ascending
    int fps = 0;                      // 0: the mode's default
    double startSeconds = 0;          // --start: live show from here
    std::string recordFile;
    double fromSeconds = 0, toSeconds = 300;  // --record range
    int renderWidth = 0, renderHeight = 0;    // --render WxH; 0: the platform's choice
    bool modeSwitch = false;                  // --mode-switch: change the display to 640x480
    bool ticks = false;                       // --ticks: the bodies drawn as the physics ticks land
    std::string passes;                       // --passes folded|separate; empty: the best the GL has
};

// The largest video --record makes: H.264's largest level (6.2) at 8K.
constexpr int kMaxVideoWidth = 8192, kMaxVideoHeight = 4320;

// Parses argv; false with a short reason on a bad or missing value.
bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error);
// The usage text printed by --help and after a bad option.
const char* usageText();
// Default fixed-step rate of a mode.
int defaultFps(const Options& options);
// The frames a recording keeps (its progress bar's total).
unsigned recordFrameCount(const Options& options);
