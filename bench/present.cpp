// present.cpp - what one presented frame costs in a real window, at the
// show's own 640x480 and scaled into a 1920x1080 one, in the intro and the
// valley; and what the scaling step alone adds. Needs a display: run it as
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_present
// from anywhere (it finds build/data as the program does).
#include <epoxy/gl.h>
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "show/host.h"
#include "app/shell.h"
#include "app/show_state.h"
#include "app/timeline.h"
#include "bench_gl.h"
#include "platform/platform.h"

namespace {

// One window per program run: the size comes from BAUBLES_PRESENT_SIZE.
bool openShow() {
    static bool loaded = false;
    if (loaded) return true;
    int width = 640, height = 480;
    if (const char* size = std::getenv("BAUBLES_PRESENT_SIZE")) std::sscanf(size, "%dx%d", &width, &height);
    if (!openBenchGl(VideoMode::Window, width, height)) return false;
    loaded = true;
    useFixedClock(kShowRate, 0);
    shellCreate();
    platformShowLoaded();
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    shellSize(w, h);
    startPlayer();
    platformShowWindow();
    return true;
}

// Frames of the show from ms on, each advanced, drawn, scaled and presented.
void presentedFrames(benchmark::State& st, double ms) {
    if (!openShow()) return st.SkipWithError("no window");
    seekShow(showFrameAt(ms));
    for (auto _ : st) {
        advanceShowFrame();
        drawFrame();
        glFinish();
    }
}
void BM_PresentIntro(benchmark::State& st) { presentedFrames(st, 4000); }
void BM_PresentValley(benchmark::State& st) { presentedFrames(st, 40000); }
BENCHMARK(BM_PresentIntro)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(240)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_PresentValley)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(240)->Repetitions(3)->ReportAggregatesOnly();

// The scaling step alone: the show's picture into the window's 4:3 area.
void BM_ScaleIntoWindow(benchmark::State& st) {
    if (!openShow()) return st.SkipWithError("no window");
    host.makeMainCurrent();
    for (auto _ : st) {
        host.composeFrame();
        glFinish();
    }
}
BENCHMARK(BM_ScaleIntoWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(240)->Repetitions(3)->ReportAggregatesOnly();

}  // namespace
