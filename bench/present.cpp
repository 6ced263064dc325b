// present.cpp - what one presented frame costs in a real window: the show's
// picture drawn, put into the window and swapped, in a 640x480 window and
// full screen at the display's own size. Needs a display:
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_present
// from anywhere (it finds build/data as the program does). Each case runs
// in a process of its own, as the program would: one window, one load.
//
// Per case it prints present_ms, the median wall time from one present to
// the next while the show plays at 60 presents a second with nothing in
// between (advance, draw, compose, swap), for the intro and the valley; then
// where that time goes, each step finished before the next starts: the
// show's drawing, the composing into the window (and the CPU time that
// takes, the rasterizer's threads included), and the swap, which copies the
// window's pixels to the X server.
#include <epoxy/gl.h>

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "show/host.h"
#include "app/shell.h"
#include "app/show_state.h"
#include "app/timeline.h"
#include "bench_gl.h"
#include "platform/platform.h"

namespace {

constexpr int kFrames = 240;      // presents per measurement
constexpr uint64_t kStep = 2;     // show frames per present: 60 a second

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// CPU seconds of the whole process, the rasterizer's threads included.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double stamp = 0;
void finishStamp(uint32_t) {
    glFinish();
    stamp = platformSeconds();
}

struct Figures {
    double present = 0, draw = 0, compose = 0, swap = 0, composeCpu = 0;
};

// kFrames presents from ms on, then the same frames again step by step.
Figures measure(double ms) {
    Figures f;
    std::vector<double> gaps, draws, swaps, composes;
    seekShow(showFrameAt(ms));
    double last = platformSeconds();
    for (int i = 0; i < kFrames; ++i) {
        for (uint64_t k = 0; k < kStep; ++k) advanceShowFrame();
        drawFrame();
        const double now = platformSeconds();
        gaps.push_back((now - last) * 1000.0);
        last = now;
    }
    seekShow(showFrameAt(ms));
    beforePresent = finishStamp;
    for (int i = 0; i < kFrames; ++i) {
        for (uint64_t k = 0; k < kStep; ++k) advanceShowFrame();
        const double t0 = platformSeconds();
        drawFrame();  // drawn, composed, finished (stamp), swapped
        const double t1 = platformSeconds();
        draws.push_back((stamp - t0) * 1000.0);
        swaps.push_back((t1 - stamp) * 1000.0);
    }
    beforePresent = nullptr;
    // Composing alone: the last picture into the window, finished.
    const double c0 = cpuSeconds();
    for (int i = 0; i < kFrames; ++i) {
        const double t0 = platformSeconds();
        host.composeFrame();
        glFinish();
        composes.push_back((platformSeconds() - t0) * 1000.0);
    }
    f.composeCpu = (cpuSeconds() - c0) * 1000.0 / kFrames;
    host.swapBuffers();
    f.present = median(gaps);
    f.compose = median(composes);
    f.draw = median(draws) - f.compose;
    f.swap = median(swaps);
    return f;
}

// One case in this process: the window opened, the show loaded, figures out.
int runCase(const char* which) {
    const bool full = std::strcmp(which, "fullscreen") == 0;
    if (!openBenchGl(full ? VideoMode::Fullscreen : VideoMode::Window, 640, 480)) return 1;
    useFixedClock(kShowRate, 0);
    shellStart(platformShowLoaded);
    platformShowWindow();
    // Let the window be mapped and sized before anything is timed.
    PlatformEvent e;
    for (double until = platformSeconds() + 0.3; platformSeconds() < until;)
        while (platformPollEvent(e)) {
            if (e.kind == PlatformEventKind::Resize) shellSize(e.width, e.height);
        }
    int ow = 0, oh = 0, w = 0, h = 0;
    host.outputSize(&ow, &oh);
    host.screenSize(&w, &h);
    const struct {
        const char* name;
        double ms;
    } scenes[] = {{"intro", 4000}, {"valley", 40000}};
    for (const auto& s : scenes) {
        const Figures f = measure(s.ms);
        std::printf("%-10s %4dx%-4d draws %dx%d %-6s present_ms %6.2f  draw_ms %5.2f compose_ms %5.2f swap_ms %5.2f compose_cpu_ms %5.2f\n",
                    full ? "fullscreen" : "window", ow, oh, w, h, s.name, f.present, f.draw, f.compose, f.swap, f.composeCpu);
        std::fflush(stdout);
    }
    platformShutdown();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--case") == 0) return runCase(argv[2]);
    // The two cases one after the other, each in a fresh process.
    int failed = 0;
    for (const char* which : {"window", "fullscreen"}) {
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/proc/self/exe", argv[0], "--case", which, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    }
    return failed ? 1 : 0;
}
