// bench_windows - one drawn frame of each scene window, as the show draws it
// with --bench (advanced and drawn at 30 frames a second, finished with
// glFinish), at 640 x 480 on the offscreen driver. Beside the wall time it
// gives the CPU time of the whole process, rasterizer threads included: the
// work a frame costs, which other jobs on the machine change far less. Each
// benchmark plays its window from a settled moment and starts over at the
// end, so it can run under a profiler one window at a time:
//   cd build && ./bench/bench_windows --benchmark_filter=pictures
//   LP_NUM_THREADS=0 valgrind --tool=callgrind --toggle-collect='drawFrame*'
//       ./bench/bench_windows --benchmark_filter=pictures --benchmark_min_time=0.01
#include <epoxy/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "show/host.h"
#include "app/show_state.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "bench_gl.h"

namespace {

const int W = 640, H = 480;

// Opens the main context and runs the whole start-up load once.
bool openShow() {
    static bool loaded = false;
    if (loaded) return true;
    if (!openBenchGl(VideoMode::Offscreen, W, H)) return false;
    loaded = true;
    // What the context was given: the figures below depend on it.
    GLint depth = 0, stencil = 0, samples = 0, alpha = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_SAMPLES, &samples);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    const char* threads = getenv("LP_NUM_THREADS");
    std::fprintf(stderr, "%s; depth %d, stencil %d, alpha %d, samples %d, LP_NUM_THREADS %s\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)), depth, stencil, alpha, samples,
                 threads ? threads : "unset");
    useFixedClock(kShowRate, 0);
    loadShow();
    startPlayer();
    host.makeMainCurrent();
    glViewport(0, 0, W, H);
    return true;
}

void finish(uint32_t) { glFinish(); }

// Frames of the window [from, to) at 30 a second, from `from` on.
void playWindow(benchmark::State& state, uint32_t from, uint32_t to) {
    if (!openShow()) {
        state.SkipWithError("no GL context");
        return;
    }
    const uint64_t first = showFrameAt(from), end = showFrameAt(to);
    seekShow(first);
    beforePresent = finish;
    for (auto _ : state) {
        uint64_t next = showClock.frame + 3;
        if (next >= end) next = first;
        seekShow(next);
        advanceShowFrame();
        drawFrame();
    }
    beforePresent = nullptr;
}

}  // namespace

BENCHMARK_CAPTURE(playWindow, intro, 4000, 25000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(playWindow, landscape, 30000, 70000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(playWindow, driven_strings, 75000, 97740)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(playWindow, hanging_bauble, 100000, 120000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(playWindow, single_bauble_1, 125000, 150000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(playWindow, single_bauble_2, 155000, 200000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(playWindow, pictures, 200000, 220000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(playWindow, finale, 225000, 300000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
