// main.cpp - the entry: reads the options, opens the platform, runs the
// start-up load and then plays the show live, or renders it on the
// fixed-step clock for screenshots, a recording or a benchmark.
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/frame_stats.h"
#include "show/host.h"
#include "app/music.h"
#include "app/options.h"
#include "app/outputs.h"
#include "app/pacing.h"
#include "app/shell.h"
#include "app/overlays.h"
#include "show/show_clock.h"
#include "app/show_state.h"
#include "app/timeline.h"
#include "image/texture.h"
#include "platform/platform.h"
#include "platform/signals.h"

namespace {

struct EntryState {
    const Options* options = nullptr;
    // Screenshots
    size_t nextShot = 0;
    bool shotFailed = false;
    // Recording
    bool pipeFailed = false;
    unsigned framesWritten = 0;
    std::vector<uint8_t> pixels;
    // The live player
    bool paused = false;
    bool muted = false;
    double clockShownUntil = 0;  // the show clock stays up until then
    GLuint clockDigits = 0;
};
EntryState entry;

// The picture as it is read back and shown: the whole window.
int drawableWidth() {
    int w = 0, h = 0;
    host.outputSize(&w, &h);
    return w;
}
int drawableHeight() {
    int w = 0, h = 0;
    host.outputSize(&w, &h);
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
            (e.kind == PlatformEventKind::Key && e.key == kKeyEscape))
            stop = true;
    return stop;
}

// Asked between the frames a seek advances: a stop signal at once, the
// window's events now and then (polling them costs more than a frame).
bool seekInterrupted() {
    static unsigned frames = 0;
    if (stopSignalled()) return true;
    return ++frames % 512 == 0 && stopRequested();
}

// Show frames between two drawn frames at fps (a divisor of the show rate).
uint64_t frameStep(int fps) { return kShowRate / static_cast<uint64_t>(fps > 0 ? fps : 1); }

// The first frame drawn at fps whose time is at or after ms.
uint64_t keptFrameAt(double ms, uint64_t step) {
    const uint64_t i = showFrameAt(ms);
    return (i + step - 1) / step * step;
}

// Advances to frame i without drawing, then advances and draws it.
// False when a stop came first.
bool drawShowFrameAt(uint64_t i) {
    seekShow(i, seekInterrupted);
    if (showClock.frame != i) return false;
    advanceShowFrame();
    drawFrame();
    return true;
}

// ---- live show ----

// The player's keys: Space pauses, the arrows and Home jump, M mutes.
constexpr int32_t kJumpShortMs = 5000, kJumpLongMs = 30000;

// The player's clock over the frame, while paused and just after a jump.
void liveOverlay(uint32_t elapsed) {
    if (!entry.paused && platformSeconds() >= entry.clockShownUntil) return;
    if (!entry.clockDigits) {
        glGenTextures(1, &entry.clockDigits);
        prepareTexture(entry.clockDigits);
        if (loadTexture("Images/clock.bmp") != 0)
            std::fprintf(stderr, "baubles: no picture at Images/clock.bmp; the player's clock shows no digits\n");
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    drawShowClock(entry.clockDigits, elapsed);
}

int runLive(double startSeconds) {
    // The music started with frame 0; a later start moves both there.
    if (startSeconds > 0) {
        const uint64_t first = showFrameAt(startSeconds * 1000.0);
        seekShow(first, seekInterrupted);
        host.seekMusic(showFrameMs(first) / 1000.0);
    }
    beforePresent = liveOverlay;
    // A slow frame is made up by advancing unseen, so the picture keeps up
    // with the music.
    Pacer pacer = livePacer();
    startPacing(pacer, platformSeconds());
    bool redraw = false;           // draw the frame at hand again (paused)
    int64_t seekTarget = -1;       // ms to jump to before the next frame
    int code = 0;
    for (;;) {
        if (stopSignalled()) return stopExitCode();
        PlatformEvent e;
        if (platformPollEvent(e)) {
            switch (e.kind) {
                case PlatformEventKind::Quit:
                    return 0;
                case PlatformEventKind::Key: {
                    const int32_t now = static_cast<int32_t>(seekTarget >= 0 ? seekTarget : elapsedMs());
                    int32_t jump = 0;
                    switch (e.key) {
                        case kKeySpace:
                            if (e.repeat) break;
                            entry.paused = !entry.paused;
                            host.pauseMusic(entry.paused);
                            if (!entry.paused) startPacing(pacer, platformSeconds());
                            redraw = true;
                            break;
                        case 'm':
                            if (!e.repeat) host.muteMusic(entry.muted = !entry.muted);
                            break;
                        case kKeyLeft: jump = -kJumpShortMs; break;
                        case kKeyRight: jump = kJumpShortMs; break;
                        case kKeyDown: jump = -kJumpLongMs; break;
                        case kKeyUp: jump = kJumpLongMs; break;
                        case kKeyHome: seekTarget = 0; break;
                        default:
                            shellKey(e.key);
                            break;
                    }
                    // Held keys add up into one jump, made before the next frame.
                    if (jump != 0) seekTarget = std::clamp<int64_t>(int64_t{now} + jump, 0, kShowLengthMs);
                    break;
                }
                case PlatformEventKind::Resize:
                    shellSize(e.width, e.height);
                    redraw = true;
                    break;
                case PlatformEventKind::Close:
                    shellDestroy();
                    break;
                case PlatformEventKind::None:
                    break;
            }
        } else if (seekTarget >= 0) {
            // The frame at the target is advanced and drawn at once; the pacer
            // carries on from there.
            const uint64_t frame = showFrameAt(static_cast<double>(seekTarget));
            seekTarget = -1;
            seekShow(frame, stopSignalled);
            host.seekMusic(showFrameMs(frame) / 1000.0);
            entry.clockShownUntil = platformSeconds() + 1.5;
            advanceShowFrame();
            drawFrame();
            startPacing(pacer, platformSeconds());
            pacer.done = 1;
        } else if (entry.paused) {
            if (redraw) drawFrame();  // the same frame, now with the clock
            redraw = false;
            platformSleep(0.01);
        } else {
            const int due = framesDue(pacer, platformSeconds());
            if (due == 0) {
                // The clock goes away on its own after a jump.
                if (redraw || (entry.clockShownUntil > 0 && platformSeconds() >= entry.clockShownUntil)) {
                    entry.clockShownUntil = 0;
                    drawFrame();
                    redraw = false;
                }
                platformSleep(secondsToNextFrame(pacer, platformSeconds()));
                continue;
            }
            // Every due frame moves the show on; only the last is drawn.
            for (int i = 0; i < due && !platformQuitRequested(&code); ++i) advanceShowFrame();
            drawFrame();
            redraw = false;
        }
        if (platformQuitRequested(&code)) {
            // Stopped before the end: say where, so a viewer can come back to it.
            if (elapsedMs() <= kShowLengthMs)
                std::fprintf(stderr, "baubles: stopped at %.3f s; --start %.3f plays on from there\n",
                             elapsedMs() / 1000.0, elapsedMs() / 1000.0);
            return code;
        }
    }
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

// Each shot is the first kept frame at or after its time: advanced to
// unseen, then drawn alone.
int runShots(const Options& o) {
    beforePresent = takeShots;
    const uint64_t step = frameStep(defaultFps(o));
    const uint64_t last = keptFrameAt(kShowLengthMs + 1.0, step);  // the show's last frame
    int code = 0;
    while (entry.nextShot < o.shotTimes.size()) {
        const uint64_t frame = keptFrameAt(o.shotTimes[entry.nextShot], step);
        if (frame > last || platformQuitRequested(&code)) break;
        const size_t before = entry.nextShot;
        if (!drawShowFrameAt(frame)) return stopExitCode();
        if (entry.nextShot == before) break;  // the frame could not take it
    }
    beforePresent = nullptr;
    if (entry.nextShot < o.shotTimes.size())
        std::fprintf(stderr, "baubles: the show ended before %u ms\n", o.shotTimes[entry.nextShot]);
    return entry.shotFailed || entry.nextShot < o.shotTimes.size() ? 1 : 0;
}

// ---- recording ----

void recordFrame(uint32_t) {
    if (entry.pipeFailed) return;
    readFrame();
    if (!recordWrite(entry.pixels.data(), entry.pixels.size()))
        entry.pipeFailed = true;
    else
        ++entry.framesWritten;
}

int runRecord(const Options& o) {
    const int fps = defaultFps(o);
    const unsigned total = recordFrameCount(o);
    if (!startRecording(o, drawableWidth(), drawableHeight())) return 1;

    // The kept frames: every step-th show frame in [from, to); the ones
    // between are advanced unseen.
    beforePresent = recordFrame;
    const uint64_t step = frameStep(fps);
    const double end = o.toSeconds * 1000.0;
    const double started = platformSeconds();
    double lastReport = started;
    const bool terminal = platformStderrIsTerminal();
    bool interrupted = false;
    int code = 0;
    for (uint64_t frame = keptFrameAt(o.fromSeconds * 1000.0, step); !entry.pipeFailed; frame += step) {
        if (showFrameMs(frame) >= end || platformQuitRequested(&code)) break;
        if (stopRequested() || !drawShowFrameAt(frame)) {
            interrupted = true;
            break;
        }
        const uint32_t elapsed = elapsedMs();
        // A bar that redraws itself on a terminal; a line every few seconds in a log.
        const double now = platformSeconds();
        if (now - lastReport > (terminal ? 0.25 : 5.0)) {
            lastReport = now;
            const double show = elapsed / 1000.0;
            std::fprintf(stderr, terminal ? "\r%s" : "%s\n",
                         progressLine(entry.framesWritten, total, show, (show - o.fromSeconds) / (now - started)).c_str());
        }
    }
    beforePresent = nullptr;
    std::fprintf(stderr, terminal ? "\r%s\n" : "%s\n",
                 progressLine(entry.framesWritten, total, elapsedMs() / 1000.0,
                              (elapsedMs() / 1000.0 - o.fromSeconds) / (platformSeconds() - started))
                     .c_str());
    return finishRecording(o, entry.framesWritten, interrupted);
}

// ---- benchmark ----

void finishFrame(uint32_t) { glFinish(); }
void finishAndRead(uint32_t) { readFrame(); }

// Wall milliseconds of f().
template <typename F>
double timeMs(F f) {
    const double t0 = platformSeconds();
    f();
    return (platformSeconds() - t0) * 1000.0;
}

int runBench(const Options& o, double startupMs) {
    // Frame times: each drawn frame with its own advance and the GL work.
    beforePresent = finishFrame;
    const uint64_t step = frameStep(defaultFps(o));
    std::map<int, std::vector<double>> times;
    for (uint64_t frame = 0; showFrameMs(frame) <= kShowLengthMs; frame += step) {
        seekShow(frame);
        if (stopRequested()) return stopExitCode();
        const double ms = timeMs([] {
            advanceShowFrame();
            drawFrame();
        });
        times[static_cast<int>(sceneWindowAt(elapsedMs()))].push_back(ms);
    }
    std::printf("startup_ms %.1f\n", startupMs);
    for (int w = 0; w <= static_cast<int>(SceneWindow::Finale); ++w) {
        SceneWindow win = static_cast<SceneWindow>(w);
        std::printf("%s\n", benchWindowLine(sceneWindowFrom(win), sceneWindowTo(win), sceneWindowName(win), times[w]).c_str());
    }

    if (stopSignalled()) return stopExitCode();

    // A jump from the start to 299 s: the saved states of the run above are
    // forgotten, so this is the whole way, advanced unseen.
    const ShowSnapshot start = player.saved.begin()->second;
    player.saved.clear();
    player.saved[0] = start;
    restoreShowState(start);
    std::printf("seek_ms %.1f\n", timeMs([] { seekShow(showFrameAt(299000.0), stopSignalled); }));

    // Recording speed over 20 s of the valley at 60 frames a second: every
    // kept frame drawn and read back, the ones between advanced.
    beforePresent = finishAndRead;
    seekShow(showFrameAt(30000.0));
    const double wallMs = timeMs([] {
        for (uint64_t frame = showClock.frame; showFrameMs(frame) < 50000; frame += frameStep(60))
            if (!drawShowFrameAt(frame)) break;
    });
    std::printf("record_speed %.2f\n", 20000.0 / wallMs);
    beforePresent = nullptr;
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
    config.renderWidth = o.renderWidth;
    config.renderHeight = o.renderHeight;
    config.modeSwitch = o.modeSwitch;
    // The music is set up before the window, as the show always did.
    // The pictures and the track: here, beside the program, or installed.
    std::string lookedAt;
    if (!platformFindAssets(lookedAt))
        std::fprintf(stderr, "baubles: no Images/ and muzyka/ folders in %s; the show plays on without them\n",
                     lookedAt.c_str());
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
    // One clock in every mode: 120 show frames a second, fixed-step. The
    // live show paces them against the wall clock.
    useFixedClock(kShowRate, live ? platformTicks() : 0);

    const double loadStart = platformSeconds();
    shellCreate();
    const double startupMs = (platformSeconds() - loadStart) * 1000.0;
    platformShowLoaded();
    int renderWidth = 0, renderHeight = 0;
    host.screenSize(&renderWidth, &renderHeight);
    shellSize(renderWidth, renderHeight);
    startPlayer();
    // From here on every loop looks at the stop signal itself.
    platformDeferStopSignals();

    int code = 0;
    switch (o.mode) {
        case Options::Mode::Show:
            platformShowWindow();
            code = runLive(o.startSeconds);
            break;
        case Options::Mode::Shots:
            code = runShots(o);
            break;
        case Options::Mode::Record:
            code = runRecord(o);
            break;
        case Options::Mode::Bench:
            code = runBench(o, startupMs);
            break;
        default:
            break;
    }
    platformShutdown();
    return stopSignalled() ? stopExitCode() : code;
}
