// pictures.h - the show's pictures: every BMP under Images/, drawn by our own code.
#pragma once

#include <string>
#include <vector>

// The letters and digits that the two spelled-word sets use, one file pair each.
extern const char* const glyphCharacters;
// The greeted names, one sprite pair each.
extern const std::vector<std::string> greetingNames;

// Writes every picture (and every cut-out's mask) into dir; returns the file names written.
std::vector<std::string> writePictures(const std::string& dir);
