// What the show plays, captured by SDL's disk audio driver during a real
// run, against an independent decode of the same track by mpg123.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<int16_t> readRaw(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return s;
}

// Mono, averaged over blocks of `block` frames.
std::vector<double> monoBlocks(const std::vector<int16_t>& stereo, size_t block) {
    std::vector<double> out;
    for (size_t i = 0; i + 2 * block <= stereo.size(); i += 2 * block) {
        double sum = 0;
        for (size_t k = 0; k < 2 * block; ++k) sum += stereo[i + k];
        out.push_back(sum / (2.0 * block));
    }
    return out;
}

// Normalised correlation of a[ao..ao+n) with b[bo..bo+n).
double correlation(const std::vector<double>& a, size_t ao, const std::vector<double>& b, size_t bo, size_t n) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += a[ao + i] * b[bo + i];
        aa += a[ao + i] * a[ao + i];
        bb += b[bo + i] * b[bo + i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

int run(const std::string& cmd) { return std::system(cmd.c_str()); }

}  // namespace

TEST(Sound, TheShowPlaysItsTrackFromTheStart) {
    const std::string dir = ::testing::TempDir() + "baubles-sound-" + std::to_string(getpid());
    const std::string track = std::string(BAUBLES_ASSET_DIR) + "/muzyka/I po co to.mp3";
    ASSERT_EQ(run("rm -rf '" + dir + "' && mkdir -p '" + dir + "'"), 0);
    // The show in a window on a private X server for about six seconds;
    // SIGTERM ends it the way closing it would.
    const std::string show = "cd '" + std::string(BAUBLES_ASSET_DIR) + "' && xvfb-run -a env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=disk "
                             "SDL_DISKAUDIOFILE='" + dir + "/show.raw' timeout -s TERM 6 '" + BAUBLES_EXE +
                             "' --window 320x240 > '" + dir + "/show.log' 2>&1";
    run(show);
    ASSERT_EQ(run("mpg123 -q -s -r 44100 --stereo -e s16 -n 700 '" + track + "' > '" + dir + "/ref.raw'"), 0);

    std::vector<int16_t> shown = readRaw(dir + "/show.raw"), ref = readRaw(dir + "/ref.raw");
    ASSERT_GT(shown.size(), 44100u * 2 * 3) << "less than three seconds of sound came out";
    ASSERT_GT(ref.size(), 44100u * 2 * 10);

    // Find where the track starts in the show's output: match the track's
    // seconds 1..2 against every start offset in the first three seconds.
    const size_t block = 8, rate = 44100 / block;
    std::vector<double> a = monoBlocks(shown, block), b = monoBlocks(ref, block);
    size_t bestLag = 0;
    double best = -1;
    for (size_t lag = 0; lag + 2 * rate < a.size() && lag < 3 * rate; ++lag) {
        double c = correlation(a, lag + rate, b, rate, rate);
        if (c > best) best = c, bestLag = lag;
    }
    EXPECT_GT(best, 0.95) << "the show's sound does not match the track anywhere";
    // At full rate, the next two seconds agree too: the track plays on, whole.
    std::vector<double> fa = monoBlocks(shown, 1), fb = monoBlocks(ref, 1);
    size_t lag = bestLag * block;
    double fine = -1;
    size_t fineLag = lag;
    for (size_t l = lag > 16 ? lag - 16 : 0; l <= lag + 16; ++l) {
        if (l + 44100 + 2 * 44100 > fa.size()) break;
        double c = correlation(fa, l + 44100, fb, 44100, 2 * 44100);
        if (c > fine) fine = c, fineLag = l;
    }
    EXPECT_GT(fine, 0.98) << "offset " << fineLag << " samples";
    // Before the track starts, the device plays silence.
    double before = 0;
    for (size_t i = 0; i + 1 < fineLag && i < fa.size(); ++i) before = std::max(before, std::fabs(fa[i]));
    EXPECT_LT(before, 64.0);
    std::printf("match %.4f, fine %.4f, track starts %zu ms into the output\n", best, fine, fineLag * 1000 / 44100);
    RecordProperty("start_offset_ms", static_cast<int>(fineLag * 1000 / 44100));
}
