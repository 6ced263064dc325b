// music.h - the show's track, "I po co to": five minutes synthesised here,
// with a section for each scene, encoded to MP3 by the lame encoder.
#pragma once

#include <string>
#include <vector>

// Where each section of the track starts, in seconds, with the track's end last.
extern const std::vector<double> trackSections;

// Renders the whole track as interleaved stereo 16-bit samples at 44.1 kHz.
std::vector<short> renderTrack();

// Renders the track, writes it as a WAV file next to mp3Path, runs `lame` on it
// and leaves only the MP3; throws std::runtime_error if the encoder fails.
void writeTrack(const std::string& mp3Path, const std::string& lame);
