// main.cpp - the entry: reads the options, opens the platform, runs the
// start-up load and then plays the show live, or renders it on the
// fixed-step clock for screenshots, a recording or a benchmark.
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/frame_stats.h"
#include "show/gl_state.h"
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
#include "platform/entry.h"
#include "platform/platform.h"
#include "platform/signals.h"
#include "render/capabilities.h"
#include "render/shortcuts.h"

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
    double clockShownUntil = 0;  // the player's display stays up until then
    GLuint clockDigits = 0;      // the display's characters
    // With BAUBLES_PRESENT_LOG set, the live show appends one line per
    // presented picture: the wall clock in seconds and the show time it
    // shows, in ms. What a viewer saw, over time, for the sync checks.
    std::FILE* presentLog = nullptr;
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
            (e.kind == PlatformEventKind::Key && (e.key == kKeyEscape || e.key == 'q')))
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

void openPresentLog() {
    const char* path = std::getenv("BAUBLES_PRESENT_LOG");
    if (!path || !*path) return;
    entry.presentLog = std::fopen(path, "w");
    if (!entry.presentLog) std::fprintf(stderr, "baubles: cannot write the present log %s\n", path);
}

void logPresent() {
    if (entry.presentLog) std::fprintf(entry.presentLog, "%.6f %u\n", platformSeconds(), elapsedMs());
}

// The player's keys, as video players have them: Space pauses, the arrows
// and Home jump, '.' and ',' step a show frame while paused, 9 and 0 turn the
// volume down and up, M mutes, Escape and Q end the show.
constexpr int32_t kJumpShortMs = 5000, kJumpLongMs = 30000;
constexpr int kVolumeSteps = 10;
constexpr double kDisplaySeconds = 1.5;  // the display stays up after a key

struct LivePlayer {
    Pacer pacer = livePacer();
    bool hidden = false;         // minimised or unmapped: advanced, not drawn
    bool redraw = false;         // draw the frame at hand again
    bool musicHeld = false;      // paused by us; let go at the next re-sync
    int64_t seekFrame = -1;      // the show frame to jump to before the next picture
    uint32_t shownMs = 0;        // the time of the picture last presented
    int volume = kVolumeSteps;   // in tenths
    double volumeShownUntil = 0;
};
LivePlayer live;

// The display's characters, loaded with the main context current; then the
// whole display drawn once where the first frame will clear it, so the
// rasterizer has built its code before a key first brings it up.
void prepareDisplay() {
    glGenTextures(1, &entry.clockDigits);
    prepareTexture(entry.clockDigits);
    if (loadTexture("Images/clock.bmp") != 0)
        std::fprintf(stderr, "baubles: no picture at Images/clock.bmp; the player's display shows no text\n");
    setTextureFilter(GL_LINEAR);
    drawPlayerDisplay(entry.clockDigits, 0, 100, false);
    drawPlayerDisplay(entry.clockDigits, 0, -1, true);
    glFinish();
}

// The player's display over the frame: while paused, and for a moment after
// a jump, a step or a sound key.
void liveOverlay(uint32_t elapsed) {
    const double now = platformSeconds();
    if (!entry.paused && now >= entry.clockShownUntil) return;
    const int percent = now < live.volumeShownUntil ? live.volume * 100 / kVolumeSteps : -1;
    drawPlayerDisplay(entry.clockDigits, elapsed, percent, entry.muted);
}

// Draws the frame at hand, unless nothing of it would be seen. True when it
// was presented.
bool presentFrame() {
    if (live.hidden) return false;
    drawFrame();
    live.shownMs = elapsedMs();
    logPresent();
    return true;
}

// The music goes to the picture just presented; held music is let go there.
void syncMusic() {
    host.seekMusic(live.shownMs / 1000.0);
    if (live.musicHeld) host.pauseMusic(false);
    live.musicHeld = false;
}

// A step of the loop is over at time now: the music follows the picture if
// the two may have parted since the last one.
void stepDone(bool presented) {
    if (stepTaken(live.pacer, platformSeconds(), presented)) syncMusic();
}

// Ends the live show where the viewer is, and says where, so that they can
// come back to it. The show's own end needs no word.
int stopLive(int code, uint32_t ms) {
    if (elapsedMs() <= kShowLengthMs)
        std::fprintf(stderr, "baubles: stopped at %.3f s; --start %.3f plays on from there\n", ms / 1000.0,
                     ms / 1000.0);
    return code;
}

// A key of the player's.
void playerKey(const PlatformEvent& e) {
    const double now = platformSeconds();
    const int64_t at = live.seekFrame >= 0 ? live.seekFrame : static_cast<int64_t>(showFrameAt(live.shownMs));
    int32_t jump = 0;
    switch (e.key) {
        case kKeySpace:
            if (e.repeat) break;
            entry.paused = !entry.paused;
            if (entry.paused) {
                host.pauseMusic(true);
                live.musicHeld = true;
            } else {
                // The music is let go with the first picture after the pause.
                startPacing(live.pacer, now);
                requestResync(live.pacer);
            }
            live.redraw = true;
            break;
        case 'm':
            if (e.repeat) break;
            host.muteMusic(entry.muted = !entry.muted);
            entry.clockShownUntil = now + kDisplaySeconds;
            live.redraw = true;
            break;
        case '9':
        case '0':
            live.volume = std::clamp(live.volume + (e.key == '0' ? 1 : -1), 0, kVolumeSteps);
            host.setMusicVolume(static_cast<double>(live.volume) / kVolumeSteps);
            entry.clockShownUntil = live.volumeShownUntil = now + kDisplaySeconds;
            live.redraw = true;
            break;
        case '.':
        case ',':
            // One show frame on or back, only while the picture stands still.
            if (entry.paused) live.seekFrame = std::max<int64_t>(0, at + (e.key == '.' ? 1 : -1));
            break;
        case 'q':
            shellKey(kKeyEscape);
            break;
        case kKeyLeft: jump = -kJumpShortMs; break;
        case kKeyRight: jump = kJumpShortMs; break;
        case kKeyDown: jump = -kJumpLongMs; break;
        case kKeyUp: jump = kJumpLongMs; break;
        case kKeyHome: live.seekFrame = 0; break;
        default:
            shellKey(e.key);
            break;
    }
    // Held keys add up into one jump, made before the next picture.
    if (jump != 0) {
        const int64_t ms = std::clamp<int64_t>(int64_t{showFrameMs(static_cast<uint64_t>(at))} + jump, 0, kShowLengthMs);
        live.seekFrame = static_cast<int64_t>(showFrameAt(static_cast<double>(ms)));
    }
}

// One waiting event; false when none was waiting.
bool liveEvent() {
    PlatformEvent e;
    if (!platformPollEvent(e)) return false;
    switch (e.kind) {
        case PlatformEventKind::Quit:
            host.postQuit(0);
            break;
        case PlatformEventKind::Key:
            playerKey(e);
            break;
        case PlatformEventKind::Resize:
            shellSize(e.width, e.height);
            live.redraw = true;
            break;
        case PlatformEventKind::Expose:
            live.redraw = true;
            break;
        case PlatformEventKind::Hidden:
            live.hidden = true;
            break;
        case PlatformEventKind::Shown:
            live.hidden = false;
            live.redraw = true;
            break;
        case PlatformEventKind::Close:
            shellDestroy();
            break;
        case PlatformEventKind::None:
            break;
    }
    return true;
}

// The jump: advanced to unseen, then presented; the pacing and the music
// carry on from that picture.
void jumpNow() {
    const uint64_t frame = static_cast<uint64_t>(live.seekFrame);
    live.seekFrame = -1;
    seekShow(frame, seekInterrupted);
    if (showClock.frame != frame) {
        // A stop came first: Escape, Q or the close button end the show as in play.
        host.postQuit(0);
        return;
    }
    entry.clockShownUntil = platformSeconds() + kDisplaySeconds;
    advanceShowFrame();
    const bool presented = presentFrame();
    startPacing(live.pacer, platformSeconds());
    live.pacer.done = 1;
    if (!entry.paused) requestResync(live.pacer);
    stepDone(presented);
}

int runLive(double startSeconds) {
    beforePresent = liveOverlay;
    openPresentLog();
    glState::mainCurrent();
    prepareDisplay();
    // The music starts with the first picture, wherever the show starts.
    if (startSeconds > 0) {
        const uint64_t first = showFrameAt(startSeconds * 1000.0);
        live.shownMs = showFrameMs(first);
        seekShow(first, seekInterrupted);
        // Stopped on the way: nothing was seen yet, so the start still stands.
        if (showClock.frame != first) return stopLive(stopSignalled() ? stopExitCode() : 0, live.shownMs);
    }
    startPacing(live.pacer, platformSeconds());
    requestResync(live.pacer);
    int code = 0;
    for (;;) {
        // Where the viewer is: the picture on screen, or while unseen, the show.
        const uint32_t at = live.hidden ? elapsedMs() : live.shownMs;
        if (stopSignalled()) return stopLive(stopExitCode(), at);
        if (platformQuitRequested(&code)) return stopLive(code, at);
        if (liveEvent()) continue;
        if (live.seekFrame >= 0) {
            jumpNow();
            continue;
        }
        if (entry.paused) {
            if (live.redraw) presentFrame();  // the same frame, with the display
            live.redraw = false;
            platformSleep(0.01);
            continue;
        }
        const int due = framesDue(live.pacer, platformSeconds());
        if (due == 0) {
            // The display goes away on its own.
            if (!live.hidden &&
                (live.redraw || (entry.clockShownUntil > 0 && platformSeconds() >= entry.clockShownUntil))) {
                entry.clockShownUntil = 0;
                presentFrame();
                live.redraw = false;
            }
            // Unseen, the show moves on in coarser steps: it costs next to nothing.
            platformSleep(live.hidden ? 0.03 : secondsToNextFrame(live.pacer, platformSeconds()));
            continue;
        }
        // Every due frame moves the show on; only the last is drawn.
        for (int i = 0; i < due && !platformQuitRequested(&code); ++i) advanceShowFrame();
        if (platformQuitRequested(&code)) continue;
        const bool presented = presentFrame();
        live.redraw = false;
        stepDone(presented);
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

// Wall and processor milliseconds of one advanced and drawn frame.
struct FrameCost {
    double wallMs, cpuMs;
};
FrameCost frameCost() {
    const double cpu0 = platformCpuSeconds();
    const double wall = timeMs([] {
        advanceShowFrame();
        drawFrame();
    });
    return {wall, (platformCpuSeconds() - cpu0) * 1000.0};
}

int runBench(const Options& o, double startupMs) {
    std::fputs(describeGlCapabilities().c_str(), stdout);
    // Frame times: each drawn frame with its own advance and the GL work.
    beforePresent = finishFrame;
    const uint64_t step = frameStep(defaultFps(o));
    std::map<int, std::vector<double>> times, cpuTimes;
    for (uint64_t frame = 0; showFrameMs(frame) <= kShowLengthMs; frame += step) {
        seekShow(frame);
        if (stopRequested()) return stopExitCode();
        const FrameCost cost = frameCost();
        const int w = static_cast<int>(sceneWindowAt(elapsedMs()));
        times[w].push_back(cost.wallMs);
        cpuTimes[w].push_back(cost.cpuMs);
    }
    std::printf("startup_ms %.1f\n", startupMs);
    for (int w = 0; w <= static_cast<int>(SceneWindow::Finale); ++w) {
        SceneWindow win = static_cast<SceneWindow>(w);
        std::printf("%s\n", benchWindowLine(sceneWindowFrom(win), sceneWindowTo(win), sceneWindowName(win), times[w],
                                            cpuTimes[w])
                                .c_str());
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
    constexpr uint32_t kFrom = sceneFrom(SceneWindow::Landscape) + 5000, kSpan = 20000;
    seekShow(showFrameAt(kFrom));
    const double wallMs = timeMs([] {
        for (uint64_t frame = showClock.frame; showFrameMs(frame) < kFrom + kSpan; frame += frameStep(60))
            if (!drawShowFrameAt(frame)) break;
    });
    std::printf("record_speed %.2f\n", kSpan / wallMs);
    beforePresent = nullptr;
    return 0;
}

// The platform for the mode: a window (and the music) for the live show,
// an offscreen context for the others. False, said on stderr, where none opens.
bool openPlatform(const Options& o, bool live) {
    PlatformConfig config;
    config.mode = live ? (o.windowed ? VideoMode::Window : VideoMode::Fullscreen) : VideoMode::Offscreen;
    config.width = o.width;
    config.height = o.height;
    config.renderWidth = o.renderWidth;
    config.renderHeight = o.renderHeight;
    config.modeSwitch = o.modeSwitch;
    std::string error;
    // The music is set up before the window, as the show always did.
    const bool platformUp = platformInit(config, error);
    music.startsWithFirstPicture = live;
    if (platformUp && live) initMusic();
    if (platformUp && platformOpenWindow(error)) return true;
    if (live)
        std::fprintf(stderr, "baubles: no display to show on (%s); --record FILE or --shots DIR render without one\n",
                     error.c_str());
    else
        std::fprintf(stderr, "baubles: cannot open an offscreen GL context: %s\n", error.c_str());
    platformShutdown();
    return false;
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
        std::puts("baubles " BAUBLES_VERSION);
        return 0;
    }
    entry.options = &o;
    drawingChoices.betweenTicks = !o.ticks;

    // Outputs and stops are settled before anything is loaded or drawn.
    platformWatchStopSignals();
    // The pictures and the track: here, beside the program, or installed.
    // Found first, so a recording probes the same track the live show plays.
    std::string lookedAt;
    const bool foundAssets = platformFindAssets(lookedAt);
    if (const int refused = prepareOutputs(o)) return refused;
    if (!foundAssets)
        std::fprintf(stderr, "baubles: no Images/ and muzyka/ folders in %s; the show plays on without them\n",
                     lookedAt.c_str());

    const bool live = o.mode == Options::Mode::Show;
    if (!openPlatform(o, live)) return 1;
    // What the GL can do, and the way of drawing chosen from it.
    glState::mainCurrent();
    std::string why;
    if (!readGlCapabilities(o.passes, why)) {
        std::fprintf(stderr, "baubles: %s\n", why.c_str());
        platformShutdown();
        return 2;
    }
    if (glCapabilities.path == PassPath::Separate) platformWantStencil();
    if (o.mode == Options::Mode::GlInfo) {
        std::fputs(describeGlCapabilities().c_str(), stdout);
        platformShutdown();
        return 0;
    }
    // Sizes, memory, then the outputs' places and the encoder: still before the load.
    if (const int refused = readyToLoad(o)) {
        platformShutdown();
        return refused;
    }
    // One clock in every mode: 120 show frames a second, fixed-step. The
    // live show paces them against the wall clock.
    useFixedClock(kShowRate, live ? platformTicks() : 0);

    const double loadStart = platformSeconds();
    shellStart(platformShowLoaded);
    const double startupMs = (platformSeconds() - loadStart) * 1000.0;
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
    return stopSignalled() ? stoppedExitCode(o) : code;
}
