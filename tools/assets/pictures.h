// pictures.h - the show's pictures: every BMP under Images/, drawn by our own code.
#pragma once

#include <string>
#include <vector>

#include "canvas.h"

// The letters and digits that the two spelled-word sets use, one file pair each.
extern const std::string glyphCharacters;
// The greeted names, one sprite pair each.
extern const std::vector<std::string> greetingNames;

// Writes every picture (and every cut-out's mask) into dir; returns the file names written.
std::vector<std::string> writePictures(const std::string& dir);

// The hanging bauble's ornament and its reflection of the room, 256 x 256
// each, as the show wraps them on the glass (the icon wears them too).
Canvas baubleOrnamentPicture();
Canvas baubleReflectionPicture();
