// radiosity.cpp - what lighting the room costs at start-up: one round of
// light exchange over the captured room, the capture itself (3328 renders
// and read-backs in the 16 x 16 view), and the whole start-up load.
//
//   build/bench/bench_radiosity
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "show/host.h"
#include "app/startup.h"
#include "offscreen/radiosity.h"
#include "offscreen/radiosity_room.h"
#include "offscreen/views.h"
#include "bench_gl.h"
#include "platform/files.h"

namespace {

// A main context with no display, opened once.
bool openGl() { return openBenchGl(VideoMode::Offscreen, 640, 480); }

// The room in an identity view of its own, captured once.
struct CapturedRoom {
    GLuint patchList = 0, surfaceList = 0;
    bool captured = false;
};
CapturedRoom& capturedRoom() {
    static CapturedRoom room;
    if (!room.captured && openGl()) {
        if (!offscreen.identityView) {  // not already lit by the start-up load
            buildGatherWeights();
            createIdentityView(nullptr);
            captureIdentities(offscreen.identityView, offscreen.identityPatchList, offscreen.identitySurfaceList);
        }
        room.patchList = offscreen.identityPatchList;
        room.surfaceList = offscreen.identitySurfaceList;
        room.captured = true;
    }
    return room;
}

// One round of light exchange: 1664 patches x 256 pixels.
void BM_GatherIteration(benchmark::State& state) {
    if (!capturedRoom().captured) return state.SkipWithError("no room");
    setSecondLighting(kSecondLampColour);
    for (auto _ : state) gatherIteration();
    state.SetItemsProcessed(state.iterations() * kRoomPatches * kCapturePixels);
}

// The whole capture: two renders and read-backs per patch.
void BM_CaptureIdentities(benchmark::State& state) {
    CapturedRoom& room = capturedRoom();
    if (!room.captured) return state.SkipWithError("no room");
    for (auto _ : state) captureIdentities(offscreen.identityView, room.patchList, room.surfaceList);
    state.SetItemsProcessed(state.iterations() * kRoomPatches * 2);
}

// Both lightings after the capture: eight rounds and two uploads.
void BM_TwoLightingsAfterCapture(benchmark::State& state) {
    if (!capturedRoom().captured) return state.SkipWithError("no room");
    host.makeMainCurrent();
    GLuint names[2][kRoomSurfaces];
    glGenTextures(2 * kRoomSurfaces, names[0]);
    for (auto _ : state) {
        for (int round = 0; round < kGatherRounds; ++round) gatherIteration();
        loadPatchTextures(names[0]);
        setSecondLighting(kSecondLampColour);
        for (int round = 0; round < kGatherRounds; ++round) gatherIteration();
        loadPatchTextures(names[1]);
    }
}

// The show's whole start-up load, once (it builds everything for good).
// Needs the pictures, found as the program finds them.
void BM_StartUpLoad(benchmark::State& state) {
    // The load builds the room for good, so it must come before the others.
    if (offscreen.identityView) return state.SkipWithError("the room was built before the load");
    if (!openGl()) return state.SkipWithError("no GL");
    struct stat st;
    if (stat(platformAssetFile("Images/Bombka.bmp").c_str(), &st) != 0) return state.SkipWithError("no pictures found");
    for (auto _ : state) {
        host.makeMainCurrent();
        loadShow();
    }
}

}  // namespace

BENCHMARK(BM_StartUpLoad)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GatherIteration)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureIdentities)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoLightingsAfterCapture)->Iterations(5)->Unit(benchmark::kMillisecond);
