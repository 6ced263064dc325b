// physics_ticks.cpp - how long one physics tick of each soft body takes,
// without the clock gate: the cost a scene pays on a frame that ticks.
#include <benchmark/benchmark.h>

#include "show/show_clock.h"
#include "app/timeline.h"
#include "math/random.h"
#include "physics/bodies.h"
#include "physics/builders/builders.h"
#include "physics/drivers.h"

namespace {

// Fresh bodies as at start-up, with the clock frozen so no nested gate fires.
void freshShow() {
    resetShowPhysics();
    resetShowRand();
    useFixedClock(120, 0);
    buildShowBodies();
    showFlags.bodyScenesStarted = 1;
    showFlags.rampFlag = 0;
}

// Runs one driver's tick per iteration on freshly built bodies.
void tickBench(benchmark::State& state, void (*tick)()) {
    freshShow();
    for (auto _ : state) tick();
    benchmark::ClobberMemory();
}

void BM_HangingBaubles(benchmark::State& s) { tickBench(s, tickHangingBaubles); }
void BM_DrivenBaubles(benchmark::State& s) { tickBench(s, tickDrivenBaubles); }
void BM_Single1(benchmark::State& s) { tickBench(s, tickSingle1); }
void BM_Single2(benchmark::State& s) { tickBench(s, tickSingle2); }
void BM_FinaleBody(benchmark::State& s) { tickBench(s, tickFinaleBody); }
void BM_Tablecloth(benchmark::State& s) { tickBench(s, tickTablecloth); }
void BM_IntroCloth(benchmark::State& s) { tickBench(s, tickIntroCloth); }
void BM_FinaleCloth(benchmark::State& s) { tickBench(s, tickFinaleCloth); }

// Building every body of the show, as the start-up load does.
void BM_BuildAllBodies(benchmark::State& state) {
    for (auto _ : state) {
        resetShowPhysics();
        resetShowRand();
        buildShowBodies();
    }
}

}  // namespace

BENCHMARK(BM_HangingBaubles);
BENCHMARK(BM_DrivenBaubles);
BENCHMARK(BM_Single1);
BENCHMARK(BM_Single2);
BENCHMARK(BM_FinaleBody);
BENCHMARK(BM_Tablecloth);
BENCHMARK(BM_IntroCloth);
BENCHMARK(BM_FinaleCloth);
BENCHMARK(BM_BuildAllBodies)->Unit(benchmark::kMillisecond);
