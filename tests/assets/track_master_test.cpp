// The encoded track as a player or a platform measures it, with ffmpeg: its
// true peak, its offset, its loudness, and a hit on every scene change; and
// the generator making the same bytes every time it runs.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "show/schedule.h"

namespace {

const std::string kTrack = std::string(BAUBLES_ASSET_DIR) + "/muzyka/I po co to.mp3";
constexpr int kRate = 44100;

// The scene changes, from the show's schedule: where the track must land.
std::vector<double> sceneChanges() {
    std::vector<double> at;
    for (const SceneRow& row : kSceneRows)
        if (row.from > 0) at.push_back(row.from / 1000.0);
    return at;
}

// Runs a shell command and returns what it printed (stderr too).
std::string output(const std::string& cmd) {
    std::string text;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return text;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    pclose(p);
    return text;
}

// The last number after `label` in ffmpeg's report, or NaN.
double lastNumber(const std::string& text, const std::string& label) {
    std::regex re(label + R"(\s*(-?[0-9.]+(e[-+]?[0-9]+)?|-inf))");
    double v = NAN;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        v = (*it)[1] == "-inf" ? -INFINITY : std::stod((*it)[1]);
    return v;
}

// The track decoded by ffmpeg, mixed to mono.
std::vector<float> decodeMono() {
    const std::string raw = (std::filesystem::temp_directory_path() / ("baubles_master_" + std::to_string(getpid()) + ".f32")).string();
    output("ffmpeg -v error -y -i '" + kTrack + "' -ac 1 -ar 44100 -f f32le '" + raw + "'");
    std::ifstream in(raw, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(raw.c_str());
    std::vector<float> mono(bytes.size() / 4);
    std::copy(bytes.begin(), bytes.begin() + mono.size() * 4, reinterpret_cast<char*>(mono.data()));
    return mono;
}

// A second-order Butterworth section (RBJ's cookbook), low- or high-pass.
struct Biquad {
    double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
    Biquad(double fc, bool high) {
        const double w = 2 * M_PI * fc / kRate, c = std::cos(w), alpha = std::sin(w) / std::sqrt(2.0), a0 = 1 + alpha;
        b0 = (high ? (1 + c) : (1 - c)) / 2 / a0, b1 = (high ? -(1 + c) : (1 - c)) / a0, b2 = b0;
        a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
    }
    double run(double x) {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2, z2 = b2 * x - a2 * y;
        return y;
    }
};

// Onset strength every 5 ms: how far the level of the lows (under 200 Hz)
// and of the highs (over 2 kHz) jumps above the loudest they were in the 45 ms
// before the 5 ms just before (so an onset split over two frames counts whole),
// in dB, the two rises added. A kick, a crash or a struck chord
// scores high; a bar that just goes on does not.
std::vector<double> onsets(const std::vector<float>& x, size_t frame) {
    Biquad lo1(200, false), lo2(200, false), hi1(2000, true), hi2(2000, true);
    std::vector<double> low(x.size() / frame), high(x.size() / frame);
    for (size_t i = 0; i < low.size() * frame; ++i) {
        const double l = lo2.run(lo1.run(x[i])), h = hi2.run(hi1.run(x[i]));
        low[i / frame] += l * l, high[i / frame] += h * h;
    }
    auto rise = [](const std::vector<double>& e, size_t j) {
        double before = 0;
        for (size_t k = j - 10; k + 1 < j; ++k) before = std::max(before, e[k]);
        return std::max(0.0, 10 * std::log10((e[j] + 1e-12) / (before + 1e-12)));
    };
    std::vector<double> strength(low.size(), 0.0);
    for (size_t j = 10; j < low.size(); ++j) strength[j] = rise(low, j) + rise(high, j);
    return strength;
}

// Seconds of CPU the children this process has waited for have used so far.
double childCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

std::vector<char> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

// What a platform's loudness meter reads off the MP3 (true peak at most -1
// dBTP, integrated loudness -14 +- 1 LUFS), no offset left by the kicks and
// the bass, and at each scene change a hit within 50 ms of it.
TEST(MusicTrack, PeaksUnderOneDbtpCentredAndHitsEverySceneChange) {
    ASSERT_TRUE(std::filesystem::exists(kTrack));
    const std::string meter = output("ffmpeg -hide_banner -nostats -i '" + kTrack + "' -af ebur128=peak=true -f null -");
    const std::string summary = meter.substr(std::min(meter.size(), meter.rfind("Summary:")));
    const double truePeak = lastNumber(summary, "Peak:"), loudness = lastNumber(summary, "I:");
    std::printf("true peak %.1f dBTP, integrated loudness %.1f LUFS\n", truePeak, loudness);
    EXPECT_LE(truePeak, -1.0);
    EXPECT_NEAR(loudness, -14.0, 1.0);

    const std::string stats = output("ffmpeg -hide_banner -nostats -i '" + kTrack +
                                     "' -af astats=measure_perchannel=DC_offset:measure_overall=DC_offset -f null -");
    std::regex dcLine(R"(DC offset:\s*(-?[0-9.]+(e[-+]?[0-9]+)?))");
    int channels = 0;
    for (auto it = std::sregex_iterator(stats.begin(), stats.end(), dcLine); it != std::sregex_iterator(); ++it, ++channels)
        EXPECT_LE(std::fabs(std::stod((*it)[1])), 1e-4) << (*it)[0];
    EXPECT_EQ(channels, 3) << "left, right and overall: " << stats;

    const std::vector<float> mono = decodeMono();
    ASSERT_NEAR(double(mono.size()) / kRate, kShowLengthMs / 1000.0, 0.05);
    const size_t frame = kRate / 200;
    const std::vector<double> strength = onsets(mono, frame);
    for (const double t : sceneChanges()) {
        const long centre = std::lround(t * kRate / frame), reach = std::lround(0.05 * kRate / frame);
        double best = 0, at = 0;
        for (long j = centre - reach; j <= centre + reach; ++j)
            if (strength[size_t(j)] > best) best = strength[size_t(j)], at = double(j) * frame / kRate - t;
        std::printf("scene change at %7.2f s: onset %+.3f s, %.1f dB\n", t, at, best);
        EXPECT_GE(best, 12.0) << "nothing lands on the scene change at " << t << " s";
    }
}

// Two runs of the generator write the same bytes, the bytes the build wrote,
// each in under 30 s of processor time (rendering and encoding).
TEST(MusicTrack, TwoBuildsGiveTheSameBytes) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("baubles_twice_" + std::to_string(getpid()));
    std::vector<std::vector<char>> runs;
    for (int run = 0; run < 2; ++run) {
        const std::string out = (dir / std::to_string(run)).string();
        const double cpu = childCpuSeconds();
        ASSERT_EQ(std::system(("'" BAUBLES_ASSETS_EXE "' music '" + out + "' '" BAUBLES_LAME "' >/dev/null").c_str()), 0);
        const double used = childCpuSeconds() - cpu;
        std::printf("run %d: %.1f s of processor time\n", run + 1, used);
        EXPECT_LT(used, 30.0);
        runs.push_back(bytesOf(out + "/muzyka/I po co to.mp3"));
    }
    std::filesystem::remove_all(dir);
    ASSERT_GT(runs[0].size(), 1000000u);
    EXPECT_TRUE(runs[0] == runs[1]) << "two runs of the generator differ";
    EXPECT_TRUE(runs[0] == bytesOf(kTrack)) << "the generator no longer writes the built track";
}
