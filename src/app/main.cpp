// main.cpp - the entry: reads the options, opens the platform, runs the
// start-up load and then plays the show live, or renders it on the
// fixed-step clock for screenshots, a recording or a benchmark.
#include <epoxy/gl.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/frame_stats.h"
#include "app/host.h"
#include "app/music.h"
#include "app/options.h"
#include "app/pacing.h"
#include "app/shell.h"
#include "app/show_clock.h"
#include "app/timeline.h"
#include "image/png_writer.h"
#include "platform/platform.h"

namespace {

// Show frames run at 120 a second in every mode; frame-counted motion is tuned to it.
const uint32_t kShowRate = 120;

struct EntryState {
    const Options* options = nullptr;
    void (*realSwap)() = nullptr;
    bool present = true;          // whether this show frame reaches the screen
    ShowTicks liveOffset = 0;     // live clock = platform ticks + offset (after --start)
    // Screenshots
    size_t nextShot = 0;
    bool shotFailed = false;
    // Recording
    PlatformPipe* pipe = nullptr;
    bool pipeFailed = false;
    unsigned framesWritten = 0;
    std::vector<uint8_t> pixels;
};
EntryState entry;

void pacedSwap() {
    if (entry.present) entry.realSwap();
}

ShowTicks offsetTicks() { return platformTicks() + entry.liveOffset; }

int drawableWidth() {
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    return w;
}
int drawableHeight() {
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    return h;
}

// Reads the frame being finished into entry.pixels (RGBA, bottom row first).
void readFrame() {
    const int w = drawableWidth(), h = drawableHeight();
    entry.pixels.resize(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, entry.pixels.data());
}

// Drains waiting events; true when the user asked to stop (Ctrl-C, close, Escape).
bool stopRequested() {
    PlatformEvent e;
    bool stop = false;
    while (platformPollEvent(e))
        if (e.kind == PlatformEventKind::Quit || e.kind == PlatformEventKind::Close ||
            (e.kind == PlatformEventKind::Key && e.key == 27))
            stop = true;
    return stop;
}

// ---- live show ----

int runLive() {
    Pacer pacer;
    startPacing(pacer, platformSeconds());
    int code = 0;
    for (;;) {
        PlatformEvent e;
        if (platformPollEvent(e)) {
            switch (e.kind) {
                case PlatformEventKind::Quit:
                    return 0;
                case PlatformEventKind::Key:
                    shellKey(e.key);
                    break;
                case PlatformEventKind::Resize:
                    shellSize(e.width, e.height);
                    break;
                case PlatformEventKind::Close:
                    shellDestroy();
                    break;
                case PlatformEventKind::None:
                    break;
            }
        } else {
            const int due = framesDue(pacer, platformSeconds());
            if (due == 0) platformSleep(secondsToNextFrame(pacer, platformSeconds()));
            // Several show frames per present on a slow display; only the last is shown.
            for (int i = 0; i < due; ++i) {
                entry.present = i == due - 1;
                shellPaint();
                if (platformQuitRequested(&code)) break;
            }
            entry.present = true;
        }
        if (platformQuitRequested(&code)) return code;
    }
}

// Runs the show unseen on the fixed-step clock up to startSeconds, then
// hands over to the live clock there, with the music at the same place.
void fastForward(double startSeconds) {
    const uint32_t target = static_cast<uint32_t>(startSeconds * 1000.0);
    entry.present = false;
    while (clockTicks() - timeline.showStart < target && !platformQuitRequested(nullptr)) {
        advanceFixedClock();
        shellPaint();
    }
    entry.present = true;
    entry.liveOffset = clockTicks() - platformTicks();
    useLiveClock(offsetTicks);
    host.seekMusic(startSeconds);
}

// ---- screenshots ----

void takeShots(uint32_t elapsed) {
    const Options& o = *entry.options;
    if (entry.nextShot >= o.shotTimes.size() || elapsed < o.shotTimes[entry.nextShot]) return;
    readFrame();
    while (entry.nextShot < o.shotTimes.size() && elapsed >= o.shotTimes[entry.nextShot]) {
        std::string path = o.shotsDir + "/shot-" + std::to_string(o.shotTimes[entry.nextShot]) + ".png";
        if (!writeFramePng(path, entry.pixels.data(), drawableWidth(), drawableHeight())) {
            std::fprintf(stderr, "baubles: cannot write %s\n", path.c_str());
            entry.shotFailed = true;
        }
        ++entry.nextShot;
    }
}

int runShots(const Options& o) {
    beforePresent = takeShots;
    int code = 0;
    while (entry.nextShot < o.shotTimes.size() && !platformQuitRequested(&code)) {
        if (stopRequested()) return 130;
        shellPaint();
        advanceFixedClock();
    }
    beforePresent = nullptr;
    if (entry.nextShot < o.shotTimes.size())
        std::fprintf(stderr, "baubles: the show ended before %u ms\n", o.shotTimes[entry.nextShot]);
    return entry.shotFailed || entry.nextShot < o.shotTimes.size() ? 1 : 0;
}

// ---- recording ----

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A temporary name beside FILE with the same extension, so ffmpeg picks the same format.
std::string partialName(const std::string& file) {
    size_t slash = file.rfind('/');
    std::string dir = slash == std::string::npos ? "" : file.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    size_t dot = base.rfind('.');
    std::string ext = dot == std::string::npos || dot == 0 ? ".mp4" : base.substr(dot);
    return dir + "." + base + ".partial-" + std::to_string(platformProcessId()) + ext;
}

void recordFrame(uint32_t elapsed) {
    const Options& o = *entry.options;
    const uint32_t step = kShowRate / static_cast<uint32_t>(defaultFps(o));
    if (entry.pipeFailed || showClock.frame % step != 0) return;
    if (elapsed < static_cast<uint32_t>(o.fromSeconds * 1000.0) || elapsed >= static_cast<uint32_t>(o.toSeconds * 1000.0))
        return;
    readFrame();
    if (!platformWritePipe(entry.pipe, entry.pixels.data(), entry.pixels.size()))
        entry.pipeFailed = true;
    else
        ++entry.framesWritten;
}

int runRecord(const Options& o) {
    if (!platformHasProgram("ffmpeg")) {
        std::fprintf(stderr, "baubles: recording needs ffmpeg, which is not installed\n");
        return 1;
    }
    const int fps = defaultFps(o);
    const double duration = o.toSeconds - o.fromSeconds;
    const unsigned total = static_cast<unsigned>((duration * fps) + 0.5);
    const std::string partial = partialName(o.recordFile);
    const std::string track = assetPath(musicPath);
    FILE* probe = std::fopen(track.c_str(), "rb");
    const bool haveTrack = probe != nullptr;
    if (probe) std::fclose(probe);
    if (!haveTrack) std::fprintf(stderr, "baubles: no music track at %s; the video will be silent\n", track.c_str());

    char range[64];
    std::snprintf(range, sizeof range, "-ss %.3f -t %.3f", o.fromSeconds, duration);
    std::string cmd = "ffmpeg -hide_banner -loglevel error -nostdin -y -f rawvideo -pix_fmt rgba -s " +
                      std::to_string(drawableWidth()) + "x" + std::to_string(drawableHeight()) + " -r " +
                      std::to_string(fps) + " -i -";
    if (haveTrack) cmd += std::string(" ") + range + " -i " + shellQuote(track) + " -map 0:v -map 1:a -c:a aac -b:a 192k";
    cmd += " -vf vflip -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -threads 1 -t " +
           std::to_string(duration) + " " + shellQuote(partial);
    entry.pipe = platformOpenPipe(cmd);
    if (!entry.pipe) {
        std::fprintf(stderr, "baubles: cannot start ffmpeg\n");
        return 1;
    }

    beforePresent = recordFrame;
    const uint32_t end = static_cast<uint32_t>(o.toSeconds * 1000.0);
    const double started = platformSeconds();
    double lastReport = started;
    const bool terminal = platformStderrIsTerminal();
    bool interrupted = false;
    int code = 0;
    while (!entry.pipeFailed) {
        if (stopRequested()) {
            interrupted = true;
            break;
        }
        shellPaint();
        const uint32_t elapsed = elapsedMs();
        if (elapsed >= end || platformQuitRequested(&code)) break;
        advanceFixedClock();
        // A bar that redraws itself on a terminal; a line every few seconds in a log.
        const double now = platformSeconds();
        if (now - lastReport > (terminal ? 0.25 : 5.0)) {
            lastReport = now;
            const double show = elapsed / 1000.0;
            std::fprintf(stderr, terminal ? "\r%s" : "%s\n",
                         progressLine(entry.framesWritten, total, show, show / (now - started)).c_str());
        }
    }
    beforePresent = nullptr;
    const int ffmpegCode = platformClosePipe(entry.pipe);
    entry.pipe = nullptr;
    std::fprintf(stderr, terminal ? "\r%s\n" : "%s\n",
                 progressLine(entry.framesWritten, total, elapsedMs() / 1000.0,
                              (elapsedMs() / 1000.0) / (platformSeconds() - started))
                     .c_str());
    if (interrupted || entry.pipeFailed || ffmpegCode != 0) {
        std::remove(partial.c_str());
        if (interrupted)
            std::fprintf(stderr, "baubles: recording interrupted; %s was not written\n", o.recordFile.c_str());
        else
            std::fprintf(stderr, "baubles: ffmpeg failed (exit %d); %s was not written\n", ffmpegCode,
                         o.recordFile.c_str());
        return interrupted ? 130 : 1;
    }
    if (std::rename(partial.c_str(), o.recordFile.c_str()) != 0) {
        std::remove(partial.c_str());
        std::fprintf(stderr, "baubles: cannot write %s\n", o.recordFile.c_str());
        return 1;
    }
    std::fprintf(stderr, "baubles: wrote %s (%u frames at %d fps)\n", o.recordFile.c_str(), entry.framesWritten, fps);
    return 0;
}

// ---- benchmark ----

void finishFrame(uint32_t) { glFinish(); }

int runBench(double startupMs) {
    beforePresent = finishFrame;  // frame times include the GL work
    std::map<int, std::vector<double>> times;
    int code = 0;
    for (;;) {
        if (stopRequested()) return 130;
        const double t0 = platformSeconds();
        shellPaint();
        const double ms = (platformSeconds() - t0) * 1000.0;
        const uint32_t elapsed = elapsedMs();
        if (elapsed > 300000 || platformQuitRequested(&code)) break;
        times[static_cast<int>(sceneWindowAt(elapsed))].push_back(ms);
        advanceFixedClock();
    }
    beforePresent = nullptr;
    std::printf("startup_ms %.1f\n", startupMs);
    for (int w = 0; w <= static_cast<int>(SceneWindow::Finale); ++w) {
        SceneWindow win = static_cast<SceneWindow>(w);
        std::printf("%s\n", benchWindowLine(sceneWindowFrom(win), sceneWindowTo(win), sceneWindowName(win), times[w]).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!parseOptions(argc, argv, o, error)) {
        std::fprintf(stderr, "baubles: %s\n%s", error.c_str(), usageText());
        return 2;
    }
    if (o.mode == Options::Mode::Help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (o.mode == Options::Mode::Version) {
        std::puts("baubles 0.1.0");
        return 0;
    }
    entry.options = &o;

    const bool live = o.mode == Options::Mode::Show;
    PlatformConfig config;
    config.mode = live ? (o.windowed ? VideoMode::Window : VideoMode::Fullscreen) : VideoMode::Offscreen;
    config.width = o.width;
    config.height = o.height;
    // The music is set up before the window, as the show always did.
    const bool platformUp = platformInit(config, error);
    if (platformUp && live) initMusic();
    if (!platformUp || !platformOpenWindow(error)) {
        if (live)
            std::fprintf(stderr,
                         "baubles: no display to show on (%s); --record FILE or --shots DIR render without one\n",
                         error.c_str());
        else
            std::fprintf(stderr, "baubles: cannot open an offscreen GL context: %s\n", error.c_str());
        platformShutdown();
        return 1;
    }
    entry.realSwap = host.swapBuffers;
    host.swapBuffers = pacedSwap;

    if (live && o.startSeconds <= 0)
        useLiveClock(platformTicks);
    else if (live)
        useFixedClock(kShowRate, platformTicks());
    else
        useFixedClock(o.mode == Options::Mode::Bench || o.mode == Options::Mode::Shots
                          ? static_cast<uint32_t>(defaultFps(o))
                          : kShowRate);

    const double loadStart = platformSeconds();
    shellCreate();
    const double startupMs = (platformSeconds() - loadStart) * 1000.0;
    shellSize(drawableWidth(), drawableHeight());

    int code = 0;
    switch (o.mode) {
        case Options::Mode::Show:
            if (o.startSeconds > 0) fastForward(o.startSeconds);
            platformShowWindow();
            code = runLive();
            break;
        case Options::Mode::Shots:
            code = runShots(o);
            break;
        case Options::Mode::Record:
            code = runRecord(o);
            break;
        case Options::Mode::Bench:
            code = runBench(startupMs);
            break;
        default:
            break;
    }
    platformShutdown();
    return code;
}
