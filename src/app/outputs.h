// outputs.h - what the entry writes (screenshots, the recording) and how it
// stops, on top of the platform's private output files, child process and
// stop signals. Linked into the program only, beside main.cpp.
//
// Every check that can fail runs before the start-up load; each output goes
// through a private file that becomes its final name only when complete, and
// that is removed on any failure or stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/options.h"

// Checks the outputs the options ask for before anything is opened or
// rendered, making nothing. 0 when all is well; otherwise the exit code (2
// for an unusable path, 1 without ffmpeg) after a message.
int prepareOutputs(const Options& options);
// Once the context exists, before the start-up load: checks the sizes
// against the GL limits (exit 2) and the memory the load and the frames
// will need (exit 1), then makes the screenshots' folder, or the
// recording's private file, probes the track and starts the encoder. 0 when
// all is well; otherwise the exit code after a message.
int readyToLoad(const Options& options);

// The exit code for a stop: 128 + the stop signal, 130 for a stop without one.
int stopExitCode();
// stopExitCode, after a line saying which signal where the mode said none.
int stoppedExitCode(const Options& options);
// True once a stop signal has come.
bool stopSignalled();

// Writes one screenshot; false after a message naming the file and the reason.
bool writeShot(const std::string& path, const uint8_t* rgbaBottomUp, int width, int height);

// Starts the encoder on the private file, for frames of width x height at
// fps (readyToLoad does); false after a message (the private file is gone then).
bool startRecording(const Options& options, int width, int height);
// Hands the encoder one frame; false once the recording cannot go on.
bool recordWrite(const uint8_t* bytes, size_t size);
// Ends the encoder and puts the video in place, or removes it when the
// recording was interrupted or failed: the exit code, after a closing message.
int finishRecording(const Options& options, unsigned framesWritten, bool interrupted);
