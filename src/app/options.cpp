// options.cpp - command-line parsing.
#include "app/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

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
        if (!parseInt(part, 0, 400000, v)) return false;
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
    return "usage: baubles [--window [WxH]]\n"
           "       baubles --shots DIR --at MS[,MS...] [--fps N] [--size WxH]\n"
           "       baubles --help | --version\n";
}

int defaultFps(const Options& options) {
    if (options.fps > 0) return options.fps;
    return 120;
}

bool parseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    o = Options();
    bool sizeGiven = false, atGiven = false;
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
        } else if (a == "--shots") {
            if (!value(o.shotsDir)) return false;
            o.mode = Options::Mode::Shots;
        } else if (a == "--at") {
            if (!value(v)) return false;
            if (!parseTimes(v, o.shotTimes)) {
                error = "bad time list: " + v;
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
    if (o.mode != Options::Mode::Shots && (atGiven || sizeGiven || o.fps)) {
        error = "--at, --fps and --size go with --shots";
        return false;
    }
    if (o.mode == Options::Mode::Shots && o.windowed) {
        error = "--window does not go with --shots";
        return false;
    }
    return true;
}
