// text.h - lettering for the generated pictures: FreeType renders a UTF-8 string
// in one of the DejaVu faces into a grey coverage map, sized to fit a box.
#pragma once

#include <string>

#include "canvas.h"

// The directory holding the DejaVu fonts; set once by the generator's entry.
void setFontDir(const std::string& dir);

// Renders text at a pixel height, its horizontal scale multiplied by xStretch and
// extra letter spacing in pixels; the map is cropped to the ink. If baseline is
// given it receives the baseline's row in the map, and penLeft the origin's column.
Gray renderText(const std::string& font, const std::string& text, float pixelSize, float xStretch = 1.f,
                float spacing = 0.f, int* baseline = nullptr, int* penLeft = nullptr);

// Renders text as large as fits a boxW x boxH box (ink bounds).
Gray fitText(const std::string& font, const std::string& text, float boxW, float boxH, float xStretch = 1.f,
             float spacingEm = 0.f);
