// main.cpp - the entry: reads the options, opens the platform, runs the
// start-up load and then either plays the show live or renders it on the
// fixed-step clock for screenshots.
#include <epoxy/gl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/host.h"
#include "app/music.h"
#include "app/options.h"
#include "app/shell.h"
#include "app/show_clock.h"
#include "app/timeline.h"
#include "image/png_writer.h"
#include "platform/platform.h"

namespace {

struct ShotState {
    const Options* options = nullptr;
    size_t next = 0;  // index of the next shot still to take
    bool failed = false;
};
ShotState shots;

// Writes every pending shot whose time this frame has reached.
void takeShots(uint32_t elapsed) {
    const Options& o = *shots.options;
    if (shots.next >= o.shotTimes.size() || elapsed < o.shotTimes[shots.next]) return;
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    while (shots.next < o.shotTimes.size() && elapsed >= o.shotTimes[shots.next]) {
        std::string path = o.shotsDir + "/shot-" + std::to_string(o.shotTimes[shots.next]) + ".png";
        if (!writeFramePng(path, pixels.data(), w, h)) {
            std::fprintf(stderr, "baubles: cannot write %s\n", path.c_str());
            shots.failed = true;
        }
        ++shots.next;
    }
}

// The live show: one frame whenever no event is waiting.
int runLive() {
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
            shellPaint();
        }
        if (platformQuitRequested(&code)) return code;
    }
}

// Screenshots: the show on the fixed-step clock until the last one is taken.
int runShots(const Options& o) {
    shots.options = &o;
    beforePresent = takeShots;
    int code = 0;
    while (shots.next < o.shotTimes.size() && !platformQuitRequested(&code)) {
        PlatformEvent e;
        while (platformPollEvent(e)) {
        }
        shellPaint();
        advanceFixedClock();
    }
    beforePresent = nullptr;
    if (shots.next < o.shotTimes.size())
        std::fprintf(stderr, "baubles: the show ended before %u ms\n", o.shotTimes[shots.next]);
    return shots.failed || shots.next < o.shotTimes.size() ? 1 : 0;
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
                         "baubles: no display to show on (%s); --shots DIR renders without one\n",
                         error.c_str());
        else
            std::fprintf(stderr, "baubles: cannot open an offscreen GL context: %s\n", error.c_str());
        platformShutdown();
        return 1;
    }
    if (live)
        useLiveClock(platformTicks);
    else
        useFixedClock(static_cast<uint32_t>(defaultFps(o)));

    shellCreate();
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    shellSize(w, h);

    int code = 0;
    if (live) {
        platformShowWindow();
        code = runLive();
    } else {
        code = runShots(o);
    }
    platformShutdown();
    return code;
}
