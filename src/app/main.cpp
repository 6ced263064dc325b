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
#include "app/outputs.h"
#include "app/pacing.h"
#include "app/shell.h"
#include "app/show_clock.h"
#include "app/timeline.h"
#include "platform/platform.h"
#include "platform/signals.h"

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

// Drains waiting events; true when the user asked to stop (a stop signal, close, Escape).
bool stopRequested() {
    PlatformEvent e;
    bool stop = stopSignalled();
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
        if (stopSignalled()) return stopExitCode();
    }
}

// Runs the show unseen on the fixed-step clock up to startSeconds, then
// hands over to the live clock there, with the music at the same place.
void fastForward(double startSeconds) {
    const uint32_t target = static_cast<uint32_t>(startSeconds * 1000.0);
    entry.present = false;
    while (clockTicks() - timeline.showStart < target && !platformQuitRequested(nullptr) && !stopSignalled()) {
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
        if (!writeShot(path, entry.pixels.data(), drawableWidth(), drawableHeight())) entry.shotFailed = true;
        ++entry.nextShot;
    }
}

int runShots(const Options& o) {
    beforePresent = takeShots;
    int code = 0;
    while (entry.nextShot < o.shotTimes.size() && !platformQuitRequested(&code)) {
        if (stopRequested()) return stopExitCode();
        shellPaint();
        advanceFixedClock();
    }
    beforePresent = nullptr;
    if (entry.nextShot < o.shotTimes.size())
        std::fprintf(stderr, "baubles: the show ended before %u ms\n", o.shotTimes[entry.nextShot]);
    return entry.shotFailed || entry.nextShot < o.shotTimes.size() ? 1 : 0;
}

// ---- recording ----

void recordFrame(uint32_t elapsed) {
    const Options& o = *entry.options;
    const uint32_t step = kShowRate / static_cast<uint32_t>(defaultFps(o));
    if (entry.pipeFailed || showClock.frame % step != 0) return;
    if (elapsed < static_cast<uint32_t>(o.fromSeconds * 1000.0) || elapsed >= static_cast<uint32_t>(o.toSeconds * 1000.0))
        return;
    readFrame();
    if (!recordWrite(entry.pixels.data(), entry.pixels.size()))
        entry.pipeFailed = true;
    else
        ++entry.framesWritten;
}

int runRecord(const Options& o) {
    const unsigned total = recordFrameCount(o);
    if (!startRecording(o, drawableWidth(), drawableHeight())) return 1;

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
    std::fprintf(stderr, terminal ? "\r%s\n" : "%s\n",
                 progressLine(entry.framesWritten, total, elapsedMs() / 1000.0,
                              (elapsedMs() / 1000.0) / (platformSeconds() - started))
                     .c_str());
    return finishRecording(o, entry.framesWritten, interrupted);
}

// ---- benchmark ----

void finishFrame(uint32_t) { glFinish(); }

int runBench(double startupMs) {
    beforePresent = finishFrame;  // frame times include the GL work
    std::map<int, std::vector<double>> times;
    int code = 0;
    for (;;) {
        if (stopRequested()) return stopExitCode();
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

    // Outputs and stops are settled before anything is loaded or drawn.
    platformWatchStopSignals();
    if (const int refused = prepareOutputs(o)) return refused;

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
    // From here on every loop looks at the stop signal itself.
    platformDeferStopSignals();

    int code = 0;
    switch (o.mode) {
        case Options::Mode::Show:
            if (o.startSeconds > 0) fastForward(o.startSeconds);
            platformShowWindow();
            code = stopSignalled() ? stopExitCode() : runLive();
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
    return stopSignalled() ? stopExitCode() : code;
}
