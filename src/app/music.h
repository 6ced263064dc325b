// music.h - the show's one track: set up first thing, started at the end of
// the start-up load together with the show clock, and never consulted again.
// Picture and sound stay together only because they start together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MusicState {
    std::vector<uint8_t> buffer;  // the whole file, as stored
    bool deviceOpen = false;
    bool loaded = false;          // a playable track is in the buffer
};
extern MusicState music;

// Where the track lives, relative to the working directory.
extern const char* const musicPath;

// Opens the device and reads the track into memory; the two failures each
// show their message box and the show goes on (silent without a track).
void initMusic();
// Starts the track playing.
void startMusic();
// Stops and frees the track and the device.
void shutdownMusic();

// Reads a whole file into bytes; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// The show writes its paths with backslashes; here they are slashes.
std::string assetPath(const char* path);
