// The generated track: small enough for the show's music buffer, five minutes
// long when decoded by an independent decoder (mpg123), and audibly changing
// section at every scene boundary.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kTrack = std::string(BAUBLES_ASSET_DIR) + "/muzyka/I po co to.mp3";
const double kBoundaries[] = {25, 70, 97.74, 120, 150, 200, 220};

struct Decoded {
    int rate = 0, channels = 0;
    std::vector<float> mono;
};

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Decodes the track to a WAV with mpg123 and mixes it to mono.
Decoded decode() {
    Decoded d;
    std::string wav = (std::filesystem::temp_directory_path() / ("baubles_track_" + std::to_string(getpid()) + ".wav")).string();
    std::string cmd = "mpg123 -q -w '" + wav + "' '" + kTrack + "'";
    if (std::system(cmd.c_str()) != 0) return d;
    std::ifstream in(wav, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(wav.c_str());
    // Walk the chunks for fmt and data.
    size_t pos = 12, dataAt = 0, dataLen = 0;
    while (pos + 8 <= b.size()) {
        uint32_t len = le32(b, pos + 4);
        if (std::equal(b.begin() + pos, b.begin() + pos + 4, "fmt ")) {
            d.channels = b[pos + 10] | b[pos + 11] << 8;
            d.rate = int(le32(b, pos + 12));
        }
        if (std::equal(b.begin() + pos, b.begin() + pos + 4, "data")) {
            dataAt = pos + 8, dataLen = std::min<size_t>(len, b.size() - pos - 8);
            break;
        }
        pos += 8 + len + (len & 1);
    }
    if (!dataAt || d.channels < 1) return d;
    size_t frames = dataLen / (2 * d.channels);
    d.mono.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        float s = 0;
        for (int c = 0; c < d.channels; ++c) s += int16_t(b[dataAt + (i * d.channels + c) * 2] | b[dataAt + (i * d.channels + c) * 2 + 1] << 8);
        d.mono[i] = s / (32768.f * d.channels);
    }
    return d;
}

// Loudness in four bands (all, below 250 Hz, 250 Hz-2 kHz, above 2 kHz), in dB,
// of the samples between t0 and t1 seconds.
std::vector<double> bandLevels(const Decoded& d, double t0, double t1) {
    auto onePole = [&](double fc) { return 1 - std::exp(-2 * M_PI * fc / d.rate); };
    const double a250 = onePole(250), a2k = onePole(2000);
    double lp250 = 0, lp2k = 0, e[4] = {0, 0, 0, 0};
    size_t i0 = size_t(t0 * d.rate), i1 = std::min(d.mono.size(), size_t(t1 * d.rate));
    size_t warm = size_t(0.05 * d.rate);  // let the filters settle first
    for (size_t i = i0 >= warm ? i0 - warm : 0; i < i1; ++i) {
        double x = d.mono[i];
        lp250 += a250 * (x - lp250), lp2k += a2k * (x - lp2k);
        if (i < i0) continue;
        double band[4] = {x, lp250, lp2k - lp250, x - lp2k};
        for (int k = 0; k < 4; ++k) e[k] += band[k] * band[k];
    }
    std::vector<double> db;
    for (double v : e) db.push_back(10 * std::log10(v / std::max<size_t>(1, i1 - i0) + 1e-12));
    return db;
}

// The largest band change between the three seconds before t and after it.
double changeAt(const Decoded& d, double t) {
    std::vector<double> before = bandLevels(d, t - 3.25, t - 0.25), after = bandLevels(d, t + 0.25, t + 3.25);
    double m = 0;
    for (size_t k = 0; k < before.size(); ++k) m = std::max(m, std::fabs(after[k] - before[k]));
    return m;
}

class Track : public ::testing::Test {
  protected:
    // Decoding takes a few seconds: do it once for the suite.
    static void SetUpTestSuite() { decoded = new Decoded(decode()); }
    static void TearDownTestSuite() { delete decoded; }
    static Decoded* decoded;
};
Decoded* Track::decoded = nullptr;

}  // namespace

TEST_F(Track, FitsTheMusicBufferAndLastsFiveMinutes) {
    ASSERT_TRUE(std::filesystem::exists(kTrack));
    EXPECT_LT(std::filesystem::file_size(kTrack), 5600000u);
    EXPECT_GT(std::filesystem::file_size(kTrack), 1000000u);  // not a stub
    ASSERT_EQ(decoded->rate, 44100);
    ASSERT_EQ(decoded->channels, 2);
    double seconds = double(decoded->mono.size()) / decoded->rate;
    EXPECT_NEAR(seconds, 300.0, 1.0);
    // It is sound all the way through, not silence, and it is not clipped flat.
    for (double t = 0.5; t < 296; t += 10) EXPECT_GT(bandLevels(*decoded, t, t + 2)[0], -45.0) << "silent near " << t;
    size_t clipped = 0;
    for (float v : decoded->mono) clipped += std::fabs(v) > 0.999f;
    EXPECT_LT(clipped, decoded->mono.size() / 10000);
}

TEST_F(Track, ChangesSectionAtEverySceneBoundary) {
    ASSERT_FALSE(decoded->mono.empty());
    // Within a section the sound holds steady; across a boundary it changes.
    std::vector<double> steady;
    const double starts[] = {0, 25, 70, 97.74, 120, 150, 200, 220, 290};
    for (size_t s = 0; s + 1 < std::size(starts); ++s) steady.push_back(changeAt(*decoded, (starts[s] + starts[s + 1]) / 2));
    std::sort(steady.begin(), steady.end());
    const double typical = steady[steady.size() / 2];
    for (double b : kBoundaries) {
        double change = changeAt(*decoded, b);
        EXPECT_GT(change, 3.0) << "no audible change at " << b << " s";
        EXPECT_GT(change, typical + 1.5) << "change at " << b << " s no bigger than inside a section";
    }
}

TEST_F(Track, EndsQuietlyAtTheEndOfTheShow) {
    ASSERT_FALSE(decoded->mono.empty());
    double body = bandLevels(*decoded, 280, 290)[0], tail = bandLevels(*decoded, 299.5, 300)[0];
    EXPECT_LT(tail, body - 12) << "the track should ring out, not stop mid-phrase";
}
