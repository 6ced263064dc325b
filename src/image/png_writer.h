// png_writer.h - writes frames as PNG files (screenshots, README strip).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes width x height RGB pixels, rows top first, as a PNG file.
std::vector<uint8_t> encodePng(const uint8_t* rgb, int width, int height);
// Writes RGBA rows as GL reads them (bottom row first) to path; false on failure.
bool writeFramePng(const std::string& path, const uint8_t* rgbaBottomUp, int width, int height);
