// icon.h - the program's icon for desktops: the show's bauble, in its own
// ornament, as PNGs with transparency at the usual theme sizes and as SVG.
#pragma once

#include <string>

// Writes <dir>/hicolor/<n>x<n>/apps/baubles.png for n = 48, 128, 256 and
// <dir>/hicolor/scalable/apps/baubles.svg; throws std::runtime_error on failure.
void writeIcons(const std::string& dir);
