// lighting.cpp - what the software lighting costs: one vertex against the
// landscape's 51 lights, a landscape-sized relight of 2,048 vertices, the
// highlight term, and a whole bauble-scene relight of both sphere arrays.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "render/lighting.h"
#include "render/scene_steps.h"
#include "render/sphere.h"

namespace {

// 51 lights spread over a valley-sized area, a few of them dark.
std::vector<Light> valleyLights() {
    std::vector<Light> lights(51);
    for (int i = 0; i < 51; ++i) {
        const float a = 0.37f * i;
        lights[i].position = Vec3(100 * std::cos(a), 20 + (i % 7) * 5.0f, 100 * std::sin(a));
        lights[i].colour = i % 10 == 9 ? Vec3(-0.7f, -0.7f, -0.7f) : Vec3(0.8f, 0.6f, 0.3f);
        lights[i].kc = 0.5f;
        lights[i].kl = 0.01f;
        lights[i].kq = 0.0001f;
    }
    return lights;
}

// A 32 x 64 bumpy grid of vertices with upward-ish unit normals.
std::vector<Vertex> valleyGrid() {
    std::vector<Vertex> grid(2048);
    for (int i = 0; i < 2048; ++i) {
        const float x = (i % 64) * 4.0f - 128, z = (i / 64) * 8.0f - 128;
        grid[i].setPosition(Vec3(x, 10 * std::sin(x * 0.05f) * std::cos(z * 0.05f), z));
        Vec3 n(0.3f * std::sin(x), 1.0f, 0.3f * std::cos(z));
        grid[i].setNormal(normalise(n));
    }
    return grid;
}

void BM_LightVertex51(benchmark::State& state) {
    const std::vector<Light> lights = valleyLights();
    std::vector<Vertex> grid = valleyGrid();
    size_t i = 0;
    for (auto _ : state) {
        lightVertex(grid[i & 2047], lights.data(), 51);
        benchmark::DoNotOptimize(grid[i & 2047].colour[0]);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_LightVertex2(benchmark::State& state) {
    const std::vector<Light> lights = valleyLights();
    std::vector<Vertex> grid = valleyGrid();
    size_t i = 0;
    for (auto _ : state) {
        lightVertex(grid[i & 2047], lights.data(), 2);
        benchmark::DoNotOptimize(grid[i & 2047].colour[0]);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_AddSpecular1(benchmark::State& state) {
    const std::vector<Light> lights = valleyLights();
    std::vector<Vertex> grid = valleyGrid();
    Vertex camera;
    camera.setPosition(Vec3(0, -50, -200));
    size_t i = 0;
    for (auto _ : state) {
        addSpecular(grid[i & 2047], lights.data(), 1, camera);
        benchmark::DoNotOptimize(grid[i & 2047].colour[0]);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

// The landscape's relight: 2,048 vertices against 51 lights, once.
void BM_Relight2048x51(benchmark::State& state) {
    const std::vector<Light> lights = valleyLights();
    std::vector<Vertex> grid = valleyGrid();
    for (auto _ : state) {
        for (Vertex& v : grid) lightVertex(v, lights.data(), 51);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2048);
}

// One frame's lighting of a nine-bauble scene (both arrays, the highlight).
void BM_BaubleSceneLighting(benchmark::State& state) {
    allocateSpheres();
    buildShowSpheres(0);
    for (int k = 0; k < kSphereArray; ++k) {
        placeSphere(spheres.detailed[k], Vec3(0.1f * k - 0.4f, 0.2f, 0));
        placeSphere(spheres.coarse[k], Vec3(0.1f * k - 0.4f, 0.2f, 0));
    }
    Vertex camera;
    camera.setPosition(Vec3(0, 0, -2));
    for (auto _ : state) {
        lightBaubles(BaubleScene::HangingBauble, camera, spheres.detailed, spheres.coarse);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_LightVertex51);
BENCHMARK(BM_LightVertex2);
BENCHMARK(BM_AddSpecular1);
BENCHMARK(BM_Relight2048x51)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaubleSceneLighting)->Unit(benchmark::kMicrosecond);
