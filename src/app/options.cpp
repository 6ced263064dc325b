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

// A decimal number of seconds within the show.
bool parseSeconds(const std::string& s, double& out) {
    if (s.empty() || s.size() > 16) return false;
    for (char c : s)
        if ((c < '0' || c > '9') && c != '.') return false;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (!end || *end != '\0' || !(v >= 0.0 && v <= kShowLengthMs / 1000.0)) return false;
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

const char* usageText() {
    return "usage: baubles [--window [WxH]] [--start SECONDS] [--render WxH] [--mode-switch] [--ticks]\n"
           "       baubles --shots DIR --at MS[,MS...] [--fps N] [--size WxH] [--ticks]\n"
           "       baubles --record FILE [--fps N] [--from S] [--to S] [--size WxH] [--ticks]\n"
           "       baubles --bench [--fps N] [--ticks]\n"
           "       baubles --gl-info    (any mode also takes --passes folded|separate)\n"
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

namespace {

// What the command line gave besides the values themselves, for the checks
// of what goes with what.
struct Given {
    bool size = false, at = false, start = false, range = false, liveOnly = false;
    const char* mode = nullptr;  // the one mode option given
};

enum class Took { Not, Done, Failed };

// One pass over the arguments; each kind of option has its own reader.
struct Parser {
    int argc;
    const char* const* argv;
    Options& o;
    std::string& error;
    int i = 1;
    Given given;

    // The value after argument i.
    bool value(std::string& out) {
        if (i + 1 >= argc) {
            error = std::string("missing value after ") + argv[i];
            return false;
        }
        out = argv[++i];
        return true;
    }

    // Each mode option once, and never two of them: the last must not
    // silently win.
    bool takeMode(const std::string& option, Options::Mode mode) {
        if (given.mode) {
            error = given.mode == option ? option + " is given twice"
                                         : std::string(given.mode) + " and " + option + " cannot go together";
            return false;
        }
        for (const char* name : {"--shots", "--record", "--bench", "--gl-info"})
            if (option == name) given.mode = name;
        o.mode = mode;
        return true;
    }

    // The live show's own: --window [WxH], --render WxH, --mode-switch.
    Took liveOption(const std::string& a) {
        std::string v;
        if (a == "--window") {
            o.windowed = true;
            if (i + 1 < argc && argv[i + 1][0] != '-' && !parseSize(argv[++i], o.width, o.height)) {
                error = std::string("bad window size: ") + argv[i];
                return Took::Failed;
            }
        } else if (a == "--render") {
            if (!value(v)) return Took::Failed;
            if (!parseSize(v, o.renderWidth, o.renderHeight)) {
                error = "bad render size: " + v;
                return Took::Failed;
            }
            given.liveOnly = true;
        } else if (a == "--mode-switch") {
            o.modeSwitch = true;
            given.liveOnly = true;
        } else {
            return Took::Not;
        }
        return Took::Done;
    }

    // The modes: --shots DIR, --record FILE, --bench, --gl-info.
    Took modeOption(const std::string& a) {
        if (a == "--shots") {
            if (!takeMode(a, Options::Mode::Shots) || !value(o.shotsDir)) return Took::Failed;
            if (o.shotsDir.empty()) {
                error = "--shots needs a folder name";
                return Took::Failed;
            }
        } else if (a == "--record") {
            if (!takeMode(a, Options::Mode::Record) || !value(o.recordFile)) return Took::Failed;
            if (o.recordFile.empty()) {
                error = "--record needs a file name";
                return Took::Failed;
            }
        } else if (a == "--bench") {
            if (!takeMode(a, Options::Mode::Bench)) return Took::Failed;
        } else if (a == "--gl-info") {
            if (!takeMode(a, Options::Mode::GlInfo)) return Took::Failed;
        } else {
            return Took::Not;
        }
        return Took::Done;
    }

    // Times and frames, and how to draw them: --start, --from, --to, --at,
    // --fps, --ticks, --passes, --size.
    Took frameOption(const std::string& a) {
        std::string v;
        if (a == "--start" || a == "--from" || a == "--to") {
            if (!value(v)) return Took::Failed;
            double secs;
            if (!parseSeconds(v, secs)) {
                error = "bad time in seconds (0 to " + std::to_string(kShowLengthMs / 1000) + "): " + v;
                return Took::Failed;
            }
            if (a == "--start") o.startSeconds = secs, given.start = true;
            if (a == "--from") o.fromSeconds = secs, given.range = true;
            if (a == "--to") o.toSeconds = secs, given.range = true;
        } else if (a == "--at") {
            if (!value(v)) return Took::Failed;
            if (!parseTimes(v, o.shotTimes)) {
                error = "bad time list (milliseconds, 0 to " + std::to_string(kShowLengthMs) + "): " + v;
                return Took::Failed;
            }
            given.at = true;
        } else if (a == "--fps") {
            long f;
            if (!value(v)) return Took::Failed;
            if (!parseInt(v, 1, 1000, f)) {
                error = "bad frame rate: " + v;
                return Took::Failed;
            }
            o.fps = static_cast<int>(f);
        } else if (a == "--ticks") {
            o.ticks = true;
        } else if (a == "--passes") {
            if (!value(o.passes)) return Took::Failed;
            if (o.passes != "folded" && o.passes != "separate") {
                error = "--passes is folded or separate: " + o.passes;
                return Took::Failed;
            }
        } else if (a == "--size") {
            if (!value(v)) return Took::Failed;
            if (!parseSize(v, o.width, o.height)) {
                error = "bad size: " + v;
                return Took::Failed;
            }
            given.size = true;
        } else {
            return Took::Not;
        }
        return Took::Done;
    }
};

// Which options go with which mode.
bool checkTogether(const Options& o, const Given& given, std::string& error) {
    const bool live = o.mode == Options::Mode::Show;
    const char* wrong = nullptr;
    if (o.mode == Options::Mode::Shots && !given.at)
        wrong = "--shots needs --at";
    else if (live && (given.at || given.size || o.fps))
        wrong = "--fps and --size go with --shots, --record or --bench";
    else if (given.at && o.mode != Options::Mode::Shots)
        wrong = "--at goes with --shots";
    else if (!live && (o.windowed || given.start || given.liveOnly))
        wrong = "--window, --start, --render and --mode-switch go with the live show";
    else if (120 % defaultFps(o) != 0)
        wrong = "--fps must divide 120 (1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 20, 24, 30, 40, 60, 120)";
    else if (given.range && o.mode != Options::Mode::Record)
        wrong = "--from and --to go with --record";
    else if (o.mode == Options::Mode::GlInfo && (given.size || o.fps || given.range))
        wrong = "--gl-info takes only --passes";
    else if (o.mode == Options::Mode::Bench && given.size)
        wrong = "--bench runs at 640x480";
    if (wrong) error = wrong;
    return !wrong;
}

// A recording's range and size.
bool checkRecording(const Options& o, std::string& error) {
    if (o.toSeconds <= o.fromSeconds)
        error = "--to must come after --from";
    else if (recordFrameCount(o) == 0)
        error = "--from and --to hold no frame at that --fps";
    else if (o.width % 2 != 0 || o.height % 2 != 0)  // the encoder's 4:2:0 pictures
        error = "a recording's --size needs even sides";
    else
        return true;
    return false;
}

// An output named like an option (--record --help, --shots -) is most likely
// one: refused, with the way to mean such a name.
bool checkNotAnOption(const char* option, const std::string& name, std::string& error) {
    if (name.empty() || name[0] != '-') return true;
    error = std::string(option) + " " + name + ": a name beginning with '-' looks like an option; write ./" + name +
            " to mean a file of that name";
    return false;
}

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

}  // namespace

bool parseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    o = Options();
    Parser p{argc, argv, o, error, 1, {}};
    for (; p.i < argc; ++p.i) {
        const std::string a = argv[p.i];
        if (a == "--help" || a == "-h") {
            o.mode = Options::Mode::Help;
            return true;
        }
        if (a == "--version") {
            o.mode = Options::Mode::Version;
            return true;
        }
        Took took = p.liveOption(a);
        if (took == Took::Not) took = p.modeOption(a);
        if (took == Took::Not) took = p.frameOption(a);
        if (took == Took::Failed) return false;
        if (took == Took::Not) {
            error = "unknown option: " + a;
            return false;
        }
    }
    if (!checkTogether(o, p.given, error)) return false;
    if (o.mode == Options::Mode::Record && !checkRecording(o, error)) return false;
    return checkOutputValues(o, error);
}
