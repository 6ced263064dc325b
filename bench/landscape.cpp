// bench_landscape - the heaviest frame of the show: the valley at 640 x 480
// on the offscreen driver (software GL), split into what our own code costs
// on the CPU (lighting, sway, trunk curves) and what the frame costs in all,
// GL included. The frame figures give wall time and, in the CPU column, the
// CPU time of every thread (the rasterizer's included) unless named
// MainThread. Run it from the build directory so the pictures are found:
//   cd build && ./bench/bench_landscape
#include <epoxy/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "show/host.h"
#include "landscape/landscape.h"
#include "math/random.h"
#include "bench_gl.h"
#include "platform/files.h"

namespace {

const int W = 640, H = 480;

// Opens a 640 x 480 main context with no display and builds the valley once.
bool openValley() {
    static bool built = false;
    if (built) return true;
    if (!openBenchGl(VideoMode::Offscreen, W, H)) return false;
    built = true;
    host.makeMainCurrent();
    resetShowRand();
    resetLandscape();
    buildLandscape();
    if (access(platformAssetFile("Images/Terrain.bmp").c_str(), R_OK) != 0) std::fprintf(stderr, "pictures not found: terrain drawn blank\n");
    return true;
}

// The camera of the first valley window, turned as a few seconds in.
void firstWindowCamera() {
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, static_cast<double>(W) / H, 0.1, 4000);
    glRotatef(15, 1, 0, 0);
    glRotatef(3, 0, 1, 0);
    glTranslatef(-40, -80, -300);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glRotatef(-35, 0, 1, 0);
}

// What one drawTrees pass computes on the CPU: 100 curves at 51 points.
float sampleTrunks() {
    float sink = 0.0f;
    for (const LandscapeTree& tree : landscape.trees)
        for (float t = 0.0f; t < 1.0f; t += 0.02f) sink += evaluatePath(tree.trunk, t).pos[1];
    return sink;
}

void BM_LightTerrainOnce(benchmark::State& st) {
    if (!openValley()) return st.SkipWithError("no GL");
    for (auto _ : st) {
        lightTerrain();
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * kTerrainVertices * kLandscapeLights);
}
BENCHMARK(BM_LightTerrainOnce)->Unit(benchmark::kMicrosecond);

void BM_SwayTrees(benchmark::State& st) {
    if (!openValley()) return st.SkipWithError("no GL");
    float phase = 0.0f;
    for (auto _ : st) {
        swayTrees(phase += 0.06f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SwayTrees)->Unit(benchmark::kMicrosecond);

void BM_TrunkSamplesOnePass(benchmark::State& st) {
    if (!openValley()) return st.SkipWithError("no GL");
    for (auto _ : st) benchmark::DoNotOptimize(sampleTrunks());
}
BENCHMARK(BM_TrunkSamplesOnePass)->Unit(benchmark::kMicrosecond);

// Our own code's share of a frame as drawLandscape runs it: one sway (50
// curves rebuilt and sampled once) and one lighting of the terrain.
void BM_FrameCpuOurs(benchmark::State& st) {
    if (!openValley()) return st.SkipWithError("no GL");
    float phase = 0.0f;
    for (auto _ : st) {
        swayTrees(phase += 0.06f);
        lightTerrain();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameCpuOurs)->Unit(benchmark::kMicrosecond);

// The same work done literally: 100 curves sampled in each tree pass and
// the terrain lit once per pass, three times. Same results, for comparison.
void BM_FrameCpuLiteral(benchmark::State& st) {
    if (!openValley()) return st.SkipWithError("no GL");
    float phase = 0.0f;
    for (auto _ : st) {
        benchmark::DoNotOptimize(sampleTrunks());
        swayTrees(phase += 0.06f);
        benchmark::DoNotOptimize(sampleTrunks());
        for (int pass = 0; pass < 3; ++pass) lightTerrain();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameCpuLiteral)->Unit(benchmark::kMicrosecond);

// The three terrain passes alone, colours already computed: GL's part of the terrain.
void BM_TerrainPassesGl(benchmark::State& st) {
    if (!openValley()) return st.SkipWithError("no GL");
    firstWindowCamera();
    lightTerrain();
    for (auto _ : st) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawTerrainPasses();
        glFinish();
    }
}
BENCHMARK(BM_TerrainPassesGl)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

// The whole landscape frame: clear, drawLandscape, wait for GL to finish.
void BM_LandscapeFrame(benchmark::State& st) {
    if (!openValley()) return st.SkipWithError("no GL");
    firstWindowCamera();
    for (auto _ : st) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        advanceLandscape();
        drawLandscape();
        glFinish();
    }
}
BENCHMARK(BM_LandscapeFrame)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

// The same frame with the CPU column showing the calling thread alone: our
// code plus the GL driver's vertex work, without the rasterizer threads.
void BM_LandscapeFrameMainThread(benchmark::State& st) { BM_LandscapeFrame(st); }
BENCHMARK(BM_LandscapeFrameMainThread)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same frame presented as the show presents it.
void BM_LandscapeFrameSwapped(benchmark::State& st) {
    if (!openValley()) return st.SkipWithError("no GL");
    firstWindowCamera();
    for (auto _ : st) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        advanceLandscape();
        drawLandscape();
        host.swapBuffers();
        host.makeMainCurrent();
    }
    glFinish();
}
BENCHMARK(BM_LandscapeFrameSwapped)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
