// outputs.cpp - screenshots and the recording through private files, and the
// exit codes of a stop.
#include "app/outputs.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "show/host.h"
#include "show/schedule.h"
#include "app/music.h"
#include "image/png_writer.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/signals.h"

namespace {

// The encoder must take a frame within this long, and finish within
// finishSeconds after the last one (10 s and a tenth of the clip); past
// that it is taken as hung. A line says it is waited for after
// kFinishNoticeSeconds. (A stop signal ends the wait at any time.)
constexpr double kStallSeconds = 60.0;
constexpr double kFinishNoticeSeconds = 2.0;
double finishSeconds(const Options& o) { return 10.0 + 0.1 * (o.toSeconds - o.fromSeconds); }

// The longest screenshot name: "shot-<the show's last millisecond>.png".
constexpr size_t decimalDigits(uint32_t v) { return v < 10 ? 1 : 1 + decimalDigits(v / 10); }
constexpr size_t kLongestShotName = sizeof "shot-.png" - 1 + decimalDigits(kShowLengthMs);

struct OutputsState {
    // Recording
    std::string ffmpeg;               // the program's full path
    PlatformOutput* video = nullptr;  // the private file
    int trackFd = -1;                 // the probed track, handed to ffmpeg
    PlatformPipe* pipe = nullptr;
    PipeWrite lastWrite = PipeWrite::Ok;
};
OutputsState outputs;

void cannotWrite(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "baubles: cannot write %s: %s\n", path.c_str(), reason.c_str());
}

// The muxer for the final name's extension: the private name has none.
const char* containerFor(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    std::string ext =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "" : path.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == "mov") return "mov";
    if (ext == "mkv") return "matroska";
    if (ext == "avi") return "avi";
    if (ext == "ts") return "mpegts";
    return "mp4";
}

// The name the encoder opens a passed descriptor by: the very file we
// opened, so no one can swap another in under its name meanwhile. Without
// /proc, the name itself.
std::string childName(int childFd, const std::string& fallback) {
    const std::string name = platformDescriptorPath(childFd);
    return name.empty() ? "file:" + fallback : name;
}

// Reads and decodes the track as the live show would; a spoiled one makes a
// silent video, as a missing one does.
void probeTrack() {
    const std::string path = platformAssetFile(assetPath(musicPath));
    bool missing = false;
    std::string reason;
    const int fd = platformOpenRegularFile(path.c_str(), kMaxTrackBytes, missing, reason);
    if (fd >= 0) {
        std::vector<uint8_t> bytes;
        bool ok = platformReadOpenFile(fd, kMaxTrackBytes, bytes, reason);
        if (ok && bytes.empty()) ok = false, reason = "is empty";
        if (ok && !platformProbeTrack(bytes.data(), bytes.size()))
            ok = false, reason = "is not a track the player can decode";
        if (ok) {
            outputs.trackFd = fd;
            return;
        }
        platformCloseFile(fd);
    }
    reportAsset(path, reason, "the video will be silent");
}

// Whatever way the program leaves (a failed start, an early return), an
// unfinished video does not stay behind. Stop signals clean up on their own.
void discardAtExit() {
    if (outputs.pipe) platformClosePipe(outputs.pipe, true, 0.0);
    outputs.pipe = nullptr;
    platformDiscardOutput(outputs.video);
    outputs.video = nullptr;
}

}  // namespace

int stopExitCode() {
    const int sig = platformStopSignal();
    return sig ? 128 + sig : 130;
}

bool stopSignalled() { return platformStopSignal() != 0; }

int stoppedExitCode(const Options& o) {
    // The live show and the recording have said where and what they stopped.
    if (o.mode == Options::Mode::Shots || o.mode == Options::Mode::Bench)
        std::fprintf(stderr, "baubles: stopped by %s\n", platformSignalName(platformStopSignal()));
    return stopExitCode();
}

int prepareOutputs(const Options& o) {
    platformOpenStandardStreams();
    std::string reason;
    // Nothing is made here: a refusal, here or before the load, leaves no trace.
    if (o.mode == Options::Mode::Shots) {
        // A missing folder is made before the load, parents and all: here it
        // is only proved that it can be.
        if (!platformCheckFoldersCanBeMade(o.shotsDir, kLongestShotName, reason)) {
            cannotWrite(o.shotsDir, reason);
            return 2;
        }
        if (platformCheckOutputFolder(o.shotsDir, reason)) {
            for (uint32_t ms : o.shotTimes) {
                const std::string path = o.shotsDir + "/shot-" + std::to_string(ms) + ".png";
                if (!platformCheckOutputFile(path, reason)) {
                    cannotWrite(path, reason);
                    return 2;
                }
            }
        } else if (platformFolderExists(o.shotsDir)) {
            cannotWrite(o.shotsDir, reason);
            return 2;
        }
    }
    if (o.mode == Options::Mode::Record) {
        if (!platformCheckOutputFile(o.recordFile, reason)) {
            cannotWrite(o.recordFile, reason);
            return 2;
        }
        outputs.ffmpeg = platformFindProgram("ffmpeg");
        if (outputs.ffmpeg.empty()) {
            std::fprintf(stderr, "baubles: recording needs ffmpeg, which is not installed\n");
            return 1;
        }
    }
    return 0;
}

namespace {

// What the load and the frames take beyond what is taken once the context
// exists, from the sizes drawn at: the driver's code and threads, the show's
// own data, and per pixel the picture, its depth, the window's buffers, the
// read-back and the encoded screenshot.
constexpr uint64_t kLoadAddressBytes = 424ull << 20;
constexpr uint64_t kLoadResidentBytes = 200ull << 20;
constexpr uint64_t kBytesPerPixel = 24;

uint64_t pixelBytes(int renderWidth, int renderHeight, int width, int height) {
    return kBytesPerPixel * (static_cast<uint64_t>(renderWidth) * static_cast<uint64_t>(renderHeight) +
                             static_cast<uint64_t>(width) * static_cast<uint64_t>(height));
}

}  // namespace

int readyToLoad(const Options& o) {
    std::string reason;
    if (!platformCheckSizes(reason)) {
        std::fprintf(stderr, "baubles: %s\n", reason.c_str());
        return 2;
    }
    int width = 0, height = 0, renderWidth = 0, renderHeight = 0;
    host.outputSize(&width, &height);
    host.screenSize(&renderWidth, &renderHeight);
    const uint64_t pixels = pixelBytes(renderWidth, renderHeight, width, height);
    if (!platformCheckMemory(kLoadAddressBytes + pixels, kLoadResidentBytes + pixels, reason)) {
        std::fprintf(stderr, "baubles: out of memory: %s\n", reason.c_str());
        return 1;
    }
    // Every check has passed: now the outputs' places are made.
    if (o.mode == Options::Mode::Shots) {
        if (!platformMakeFolders(o.shotsDir, reason) || !platformCheckOutputFolder(o.shotsDir, reason)) {
            cannotWrite(o.shotsDir, reason);
            return 2;
        }
    }
    if (o.mode == Options::Mode::Record) {
        outputs.video = platformCreateOutput(o.recordFile, reason);
        if (!outputs.video) {
            cannotWrite(o.recordFile, reason);
            return 2;
        }
        std::atexit(discardAtExit);
        probeTrack();
        // Started now, so that an encoder that cannot run says so before the load.
        if (!startRecording(o, width, height)) return 1;
    }
    return 0;
}

bool writeShot(const std::string& path, const uint8_t* rgbaBottomUp, int width, int height) {
    const std::vector<uint8_t> png = encodeFramePng(rgbaBottomUp, width, height);
    std::string reason;
    PlatformOutput* out = platformCreateOutput(path, reason);
    bool ok = out != nullptr;
    if (ok && !platformWriteOutput(out, png.data(), png.size(), reason)) {
        platformDiscardOutput(out);
        ok = false;
    } else if (ok) {
        ok = platformCommitOutput(out, reason);
    }
    if (!ok) cannotWrite(path, reason);
    return ok;
}

bool startRecording(const Options& o, int width, int height) {
    const int fps = defaultFps(o);
    const double duration = o.toSeconds - o.fromSeconds;
    char from[32], length[32];
    std::snprintf(from, sizeof from, "%.3f", o.fromSeconds);
    std::snprintf(length, sizeof length, "%.3f", duration);
    std::vector<int> pass = {platformOutputDescriptor(outputs.video)};
    // -xerror: a trailer that cannot be written (the index's move, a full
    // disk at the very end) fails ffmpeg, rather than leaving an unplayable
    // file to get the final name.
    std::vector<std::string> args = {"ffmpeg",    "-hide_banner",
                                     "-loglevel", "error",
                                     "-nostdin",  "-y",
                                     "-xerror",
                                     "-f",        "rawvideo",
                                     "-pix_fmt",  "rgba",
                                     "-s",        std::to_string(width) + "x" + std::to_string(height),
                                     "-r",        std::to_string(fps),
                                     "-i",        "-"};
    if (outputs.trackFd >= 0) {
        pass.push_back(outputs.trackFd);
        args.insert(args.end(), {"-ss", from, "-t", length, "-i", childName(4, platformAssetFile(assetPath(musicPath))), "-map",
                                 "0:v", "-map", "1:a", "-c:a", "aac", "-b:a", "192k"});
    }
    // ffmpeg opens our private file through its descriptor and writes over
    // it (-y); it never opens a name someone else could have put there.
    const std::string privateName = childName(3, platformOutputPath(outputs.video));
    // The frames are turned to YUV by the BT.709 matrix at every size, in
    // limited range, and the stream says so: players that pick a matrix by
    // the picture's size see the same colours as those that read the tags.
    const char* filters = "vflip,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p";
    args.insert(args.end(), {"-vf",              filters,
                             "-c:v",             "libx264",
                             "-preset",          "veryfast",
                             "-crf",             "18",
                             "-pix_fmt",         "yuv420p",
                             "-colorspace",      "bt709",
                             "-color_primaries", "bt709",
                             "-color_trc",       "bt709",
                             "-color_range",     "tv",
                             "-threads",         "1",
                             "-t",               length});
    const char* container = containerFor(o.recordFile);
    // The index (moov) goes before the frames, so a video starts playing
    // while it downloads. ffmpeg moves it there at the end by opening the
    // private file again, for reading, under the same descriptor name.
    if (std::string(container) == "mp4" || std::string(container) == "mov")
        args.insert(args.end(), {"-movflags", "+faststart"});
    args.insert(args.end(), {"-f", container, privateName});
    std::string reason;
    outputs.pipe = platformOpenPipe(outputs.ffmpeg, args, pass, reason);
    if (outputs.trackFd >= 0) platformCloseFile(outputs.trackFd);
    outputs.trackFd = -1;
    if (!outputs.pipe) {
        std::fprintf(stderr, "baubles: cannot start ffmpeg: %s; %s was not written\n", reason.c_str(),
                     o.recordFile.c_str());
        platformDiscardOutput(outputs.video);
        outputs.video = nullptr;
        return false;
    }
    return true;
}

bool recordWrite(const uint8_t* bytes, size_t size) {
    if (!outputs.pipe || outputs.lastWrite != PipeWrite::Ok) return false;
    outputs.lastWrite = platformWritePipe(outputs.pipe, bytes, size, kStallSeconds);
    return outputs.lastWrite == PipeWrite::Ok;
}

int finishRecording(const Options& o, unsigned framesWritten, bool interrupted) {
    const bool abandon = interrupted || stopSignalled() || outputs.lastWrite == PipeWrite::Stalled ||
                         outputs.lastWrite == PipeWrite::Stopped;
    const ChildEnd end = platformClosePipe(outputs.pipe, abandon, finishSeconds(o), kFinishNoticeSeconds, [] {
        std::fprintf(stderr, "baubles: waiting for ffmpeg to finish...\n");
    });
    outputs.pipe = nullptr;
    const std::string& file = o.recordFile;
    std::string why;
    char text[160];
    if (stopSignalled()) {
        why = std::string("recording stopped by ") + platformSignalName(platformStopSignal());
    } else if (interrupted) {
        why = "recording interrupted";
    } else if (outputs.lastWrite == PipeWrite::Stalled) {
        std::snprintf(text, sizeof text, "ffmpeg took no frame for %.0f s and was ended", kStallSeconds);
        why = text;
    } else if (end.timedOut) {
        std::snprintf(text, sizeof text, "ffmpeg did not finish within %.0f s of the last frame and was ended",
                      finishSeconds(o));
        why = text;
    } else if (!end.exited && end.signal) {
        why = std::string("ffmpeg was ended by ") + platformSignalName(end.signal);
        if (const char* meaning = platformSignalMeaning(end.signal)) why += std::string(": ") + meaning;
    } else if (!end.exited) {
        why = "ffmpeg could not be waited for";
    } else if (end.code != 0) {
        why = "ffmpeg failed (exit " + std::to_string(end.code) + ")";
    } else if (outputs.lastWrite != PipeWrite::Ok) {
        // It ended well but stopped taking frames: the video would be short.
        why = "ffmpeg stopped taking frames after " + std::to_string(framesWritten);
    }
    if (!why.empty()) {
        platformDiscardOutput(outputs.video);
        outputs.video = nullptr;
        std::fprintf(stderr, "baubles: %s; %s was not written\n", why.c_str(), file.c_str());
        return stopSignalled() || interrupted ? stopExitCode() : 1;
    }
    std::string reason;
    const bool placed = platformCommitOutput(outputs.video, reason);
    outputs.video = nullptr;
    if (!placed) {
        cannotWrite(file, reason);
        return 1;
    }
    std::fprintf(stderr, "baubles: wrote %s (%u frames at %d fps)\n", file.c_str(), framesWritten,
                 defaultFps(o));
    return 0;
}
