// capture.h - what SDL's disk audio driver wrote, against a decode of the track.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// s16le samples of a raw file.
inline std::vector<int16_t> readRaw(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return s;
}

// Mono, averaged over blocks of `block` frames.
inline std::vector<double> monoBlocks(const std::vector<int16_t>& stereo, size_t block) {
    std::vector<double> out;
    for (size_t i = 0; i + 2 * block <= stereo.size(); i += 2 * block) {
        double sum = 0;
        for (size_t k = 0; k < 2 * block; ++k) sum += stereo[i + k];
        out.push_back(sum / (2.0 * block));
    }
    return out;
}

// Normalised correlation of a[ao..ao+n) with b[bo..bo+n).
inline double correlation(const std::vector<double>& a, size_t ao, const std::vector<double>& b, size_t bo, size_t n) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += a[ao + i] * b[bo + i];
        aa += a[ao + i] * a[ao + i];
        bb += b[bo + i] * b[bo + i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

inline int run(const std::string& cmd) { return std::system(cmd.c_str()); }
