// frames.h - the frames suite's access to one show run (tests/frames/render.sh,
// run by ctest as frames_render): PNG frames read as RGB, top row first.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The size every frame of the run is drawn at.
constexpr int kFrameW = 320, kFrameH = 240;

struct Frame {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
    uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
    // Luminance of pixel (x, y), 0..255.
    double luma(int x, int y) const {
        const uint8_t* p = at(x, y);
        return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    }
};

// Reads a PNG of the given size through ImageMagick; false when it is
// missing or of another size.
inline bool readPng(const std::string& path, int w, int h, Frame& out) {
    FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) return false;
    std::fclose(probe);
    FILE* p = popen(("convert '" + path + "' -depth 8 rgb:-").c_str(), "r");
    if (!p) return false;
    out.w = w;
    out.h = h;
    out.rgb.assign(static_cast<size_t>(w) * h * 3, 0);
    const size_t n = std::fread(out.rgb.data(), 1, out.rgb.size(), p);
    uint8_t extra;
    const bool more = std::fread(&extra, 1, 1, p) == 1;
    pclose(p);
    return n == out.rgb.size() && !more;
}

// The two ways of drawing the blended passes; each check reads both runs.
inline const char* const kPassPaths[] = {"folded", "separate"};

// A run's frame at show time ms, or a failed assertion saying how to make it.
inline ::testing::AssertionResult showFrame(int ms, Frame& out, const std::string& passes = "folded") {
    const std::string path = std::string(BAUBLES_FRAMES_DIR) + (passes == "separate" ? "/separate" : "") + "/shot-" +
                             std::to_string(ms) + ".png";
    if (readPng(path, kFrameW, kFrameH, out)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no " << kFrameW << "x" << kFrameH << " frame " << path
                                         << " (ctest makes it: ctest -R frames)";
}
