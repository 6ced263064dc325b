// options.cpp - command-line parsing.
#include "app/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "app/show_state.h"

namespace {

// A whole decimal number in [lo, hi].
bool parseInt(const std::string& s, long lo, long hi, long& out) {
    if (s.empty() || s.size() > 12) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    errno = 0;
    long v = std::strtol(s.c_str(), nullptr, 10);
    if (errno != 0 || v < lo || v > hi) return false;
    out = v;
    return true;
}

// A decimal number of seconds in [0, 300].
bool parseSeconds(const std::string& s, double& out) {
    if (s.empty() || s.size() > 16) return false;
    for (char c : s)
        if ((c < '0' || c > '9') && c != '.') return false;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (!end || *end != '\0' || !(v >= 0.0 && v <= 300.0)) return false;
    out = v;
    return true;
}

// "WxH", each side 16..16384.
bool parseSize(const std::string& s, int& w, int& h) {
    size_t x = s.find('x');
    if (x == std::string::npos) return false;
    long a, b;
    if (!parseInt(s.substr(0, x), 16, 16384, a) || !parseInt(s.substr(x + 1), 16, 16384, b)) return false;
    w = static_cast<int>(a);
    h = static_cast<int>(b);
    return true;
}

bool parseTimes(const std::string& s, std::vector<uint32_t>& out) {
    size_t start = 0;
    while (start <= s.size()) {
        size_t comma = s.find(',', start);
        std::string part = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        long v;
        if (!parseInt(part, 0, kShowLengthMs, v)) return false;  // within the show
        out.push_back(static_cast<uint32_t>(v));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return !out.empty();
}

}  // namespace

// Defined below parseOptions, where it is called.
bool checkOutputValues(const Options& o, std::string& error);

const char* usageText() {
    return "usage: baubles [--window [WxH]] [--start SECONDS] [--render WxH] [--mode-switch]\n"
           "       baubles --shots DIR --at MS[,MS...] [--fps N] [--size WxH]\n"
           "       baubles --record FILE [--fps N] [--from S] [--to S] [--size WxH]\n"
           "       baubles --bench [--fps N]\n"
           "       baubles --help | --version\n";
}

int defaultFps(const Options& options) {
    if (options.fps > 0) return options.fps;
    if (options.mode == Options::Mode::Record) return 60;
    if (options.mode == Options::Mode::Bench) return 30;
    return 120;
}

unsigned recordFrameCount(const Options& options) {
    const uint32_t step = 120 / static_cast<uint32_t>(defaultFps(options));
    const double fromMs = options.fromSeconds * 1000.0, toMs = options.toSeconds * 1000.0;
    // The frames the recorder keeps: every step-th show frame whose time on
    // the 120-a-second clock (whole milliseconds) lies in [from, to).
    unsigned count = 0;
    for (uint64_t frame = 0;; frame += step) {
        const double ms = static_cast<double>(frame * 1000 / 120);
        if (ms >= toMs) break;
        if (ms >= fromMs) ++count;
    }
    return count;
}

bool parseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    o = Options();
    bool sizeGiven = false, atGiven = false, startGiven = false, rangeGiven = false, liveOnly = false;
    // Each mode option once, and never two of them: the last must not
    // silently win.
    const char* modeGiven = nullptr;
    auto takeMode = [&](const std::string& option, Options::Mode mode) {
        if (modeGiven) {
            error = modeGiven == option ? option + " is given twice"
                                        : std::string(modeGiven) + " and " + option + " cannot go together";
            return false;
        }
        modeGiven = option == "--shots" ? "--shots" : option == "--record" ? "--record" : "--bench";
        o.mode = mode;
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = "missing value after " + a;
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.mode = Options::Mode::Help;
            return true;
        } else if (a == "--version") {
            o.mode = Options::Mode::Version;
            return true;
        } else if (a == "--window") {
            o.windowed = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') {
                if (!parseSize(argv[++i], o.width, o.height)) {
                    error = std::string("bad window size: ") + argv[i];
                    return false;
                }
            }
        } else if (a == "--render") {
            if (!value(v)) return false;
            if (!parseSize(v, o.renderWidth, o.renderHeight)) {
                error = "bad render size: " + v;
                return false;
            }
            liveOnly = true;
        } else if (a == "--mode-switch") {
            o.modeSwitch = true;
            liveOnly = true;
        } else if (a == "--shots") {
            if (!takeMode(a, Options::Mode::Shots) || !value(o.shotsDir)) return false;
            if (o.shotsDir.empty()) {
                error = "--shots needs a folder name";
                return false;
            }
        } else if (a == "--record") {
            if (!takeMode(a, Options::Mode::Record) || !value(o.recordFile)) return false;
            if (o.recordFile.empty()) {
                error = "--record needs a file name";
                return false;
            }
        } else if (a == "--bench") {
            if (!takeMode(a, Options::Mode::Bench)) return false;
        } else if (a == "--start" || a == "--from" || a == "--to") {
            if (!value(v)) return false;
            double secs;
            if (!parseSeconds(v, secs)) {
                error = "bad time in seconds (0 to 300): " + v;
                return false;
            }
            if (a == "--start") o.startSeconds = secs, startGiven = true;
            if (a == "--from") o.fromSeconds = secs, rangeGiven = true;
            if (a == "--to") o.toSeconds = secs, rangeGiven = true;
        } else if (a == "--at") {
            if (!value(v)) return false;
            if (!parseTimes(v, o.shotTimes)) {
                error = "bad time list (milliseconds, 0 to 300000): " + v;
                return false;
            }
            atGiven = true;
        } else if (a == "--fps") {
            long f;
            if (!value(v)) return false;
            if (!parseInt(v, 1, 1000, f)) {
                error = "bad frame rate: " + v;
                return false;
            }
            o.fps = static_cast<int>(f);
        } else if (a == "--size") {
            if (!value(v)) return false;
            if (!parseSize(v, o.width, o.height)) {
                error = "bad size: " + v;
                return false;
            }
            sizeGiven = true;
        } else {
            error = "unknown option: " + a;
            return false;
        }
    }
    if (o.mode == Options::Mode::Shots && !atGiven) {
        error = "--shots needs --at";
        return false;
    }
    const bool live = o.mode == Options::Mode::Show;
    if (live && (atGiven || sizeGiven || o.fps)) {
        error = "--fps and --size go with --shots, --record or --bench";
        return false;
    }
    if (atGiven && o.mode != Options::Mode::Shots) {
        error = "--at goes with --shots";
        return false;
    }
    if (!live && (o.windowed || startGiven || liveOnly)) {
        error = "--window, --start, --render and --mode-switch go with the live show";
        return false;
    }
    if (120 % defaultFps(o) != 0) {
        error = "--fps must divide 120 (1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 20, 24, 30, 40, 60, 120)";
        return false;
    }
    if (rangeGiven && o.mode != Options::Mode::Record) {
        error = "--from and --to go with --record";
        return false;
    }
    if (o.mode == Options::Mode::Bench && sizeGiven) {
        error = "--bench runs at 640x480";
        return false;
    }
    if (o.mode == Options::Mode::Record) {
        if (o.toSeconds <= o.fromSeconds) {
            error = "--to must come after --from";
            return false;
        }
        if (recordFrameCount(o) == 0) {
            error = "--from and --to hold no frame at that --fps";
            return false;
        }
        // The encoder's 4:2:0 pictures need even sides.
        if (o.width % 2 != 0 || o.height % 2 != 0) {
            error = "a recording's --size needs even sides";
            return false;
        }
    }
    return checkOutputValues(o, error);
}

namespace {

// An output named like an option (--record --help, --shots -) is most likely
// one: refused, with the way to mean such a name.
bool checkNotAnOption(const char* option, const std::string& name, std::string& error) {
    if (name.empty() || name[0] != '-') return true;
    error = std::string(option) + " " + name + ": a name beginning with '-' looks like an option; write ./" + name +
            " to mean a file of that name";
    return false;
}

}  // namespace

// The values of outputs that would be refused only late, checked now: names
// that look like options, and a recording's size beyond what H.264 takes.
bool checkOutputValues(const Options& o, std::string& error) {
    if (o.mode == Options::Mode::Shots && !checkNotAnOption("--shots", o.shotsDir, error)) return false;
    if (o.mode == Options::Mode::Record) {
        if (!checkNotAnOption("--record", o.recordFile, error)) return false;
        if (o.width > kMaxVideoWidth || o.height > kMaxVideoHeight) {
            error = "a recording's --size is at most " + std::to_string(kMaxVideoWidth) + "x" +
                    std::to_string(kMaxVideoHeight) + " (H.264's largest level): " + std::to_string(o.width) + "x" +
                    std::to_string(o.height);
            return false;
        }
    }
    return true;
}
