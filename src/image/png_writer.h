// png_writer.h - frames as PNG files (screenshots, README strip); the
// entry writes them through the platform's private output files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes width x height RGB pixels, rows top first, as a PNG file.
std::vector<uint8_t> encodePng(const uint8_t* rgb, int width, int height);
// Encodes RGBA rows as GL reads them (bottom row first) as a PNG file.
std::vector<uint8_t> encodeFramePng(const uint8_t* rgbaBottomUp, int width, int height);
