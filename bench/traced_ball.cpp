// bench_traced_ball - the CPU cost of one traced intro-ball frame (65,536
// rays, each with a sphere test and a floor shadow test), without the upload.
#include <benchmark/benchmark.h>

#include <vector>

#include "image/traced_ball.h"

// One frame with the ball in the air over the floor, its shadow in view.
static void BM_TraceBallFrame(benchmark::State& st) {
    TracedBallState ball;
    ball.ballX = 0.0f;
    ball.ballY = 80.0f;
    std::vector<uint8_t> picture(kBallPictureBytes);
    for (auto _ : st) {
        traceBallPicture(ball, picture.data());
        benchmark::DoNotOptimize(picture.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * kBallPictureSide * kBallPictureSide);
}
BENCHMARK(BM_TraceBallFrame)->Unit(benchmark::kMicrosecond);

// Frames as the intro makes them: trace where the ball stands, then step it.
static void BM_NextBallFrame(benchmark::State& st) {
    resetTracedBall();
    for (auto _ : st) benchmark::DoNotOptimize(traceNextBallFrame());
    st.SetItemsProcessed(st.iterations() * kBallPictureSide * kBallPictureSide);
}
BENCHMARK(BM_NextBallFrame)->Unit(benchmark::kMicrosecond);
