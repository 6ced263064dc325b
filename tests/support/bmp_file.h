// bmp_file.h - writes small 24-bit bitmap files for tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// rgb holds width x height pixels, rows top first; the file is bottom-up.
inline bool writeTestBmp(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t imageSize = static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> f(54 + imageSize, 0);
    auto put16 = [&](size_t at, uint32_t v) { f[at] = v & 0xff; f[at + 1] = (v >> 8) & 0xff; };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xffff); put16(at + 2, v >> 16); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, static_cast<uint32_t>(f.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    put16(26, 1);
    put16(28, 24);
    put32(34, imageSize);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = &rgb[static_cast<size_t>(height - 1 - y) * width * 3];
        uint8_t* dst = &f[54 + static_cast<size_t>(y) * stride];
        for (int x = 0; x < width; ++x) {
            dst[x * 3] = src[x * 3 + 2];
            dst[x * 3 + 1] = src[x * 3 + 1];
            dst[x * 3 + 2] = src[x * 3];
        }
    }
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(f.data(), 1, f.size(), out) == f.size();
    return std::fclose(out) == 0 && ok;
}

// A width x height picture of one colour.
inline std::vector<uint8_t> solid(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> px(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < px.size(); i += 3) {
        px[i] = r;
        px[i + 1] = g;
        px[i + 2] = b;
    }
    return px;
}
