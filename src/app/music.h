// music.h - the show's one track: set up first thing, started at the end of
// the start-up load together with the show clock, and never consulted again.
// Picture and sound stay together only because they start together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MusicState {
    std::vector<uint8_t> buffer;  // the whole file, as stored
    bool deviceOpen = false;
    bool loaded = false;          // a playable track is in the buffer
    // The live player starts the track itself, at the moment the first
    // picture is presented, from that picture's time: the end of the load
    // leaves it be.
    bool startsWithFirstPicture = false;
};
extern MusicState music;

// Where the track lives, relative to the working directory.
extern const char* const musicPath;

// Opens the device and reads the track into memory; the two failures each
// show their message box and the show goes on (silent without a track).
void initMusic();
// Starts the track playing (unless the first picture starts it).
void startMusic();
// Stops and frees the track and the device.
void shutdownMusic();

// The largest track read; a larger file is spoiled, not loaded.
constexpr size_t kMaxTrackBytes = size_t(64) << 20;

// Reads a track file whole (a regular file of at most kMaxTrackBytes) into
// bytes; false, with a reason in plain English, when it is missing, empty or
// not taken.
bool readTrack(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason);
// The same without the reason.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// The show writes its paths with backslashes; here they are slashes.
std::string assetPath(const char* path);
