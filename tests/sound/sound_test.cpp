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

#include "capture.h"

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

// Space pauses picture and sound together; ten seconds later it resumes
// them together. Afterwards the track plays on from where it stopped, and
// the show's time when Escape ends it is the track's time.
TEST(Sound, PausingKeepsPictureAndMusicTogether) {
    const std::string dir = ::testing::TempDir() + "baubles-pause-" + std::to_string(getpid());
    const std::string track = std::string(BAUBLES_ASSET_DIR) + "/muzyka/I po co to.mp3";
    ASSERT_EQ(run("rm -rf '" + dir + "' && mkdir -p '" + dir + "'"), 0);
    const std::string script = dir + "/pause.sh";
    {
        std::ofstream s(script);
        s << "cd '" << BAUBLES_ASSET_DIR << "'\n"
          << "env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" << dir << "/show.raw' '" << BAUBLES_EXE
          << "' --window 320x240 2> '" << dir << "/show.err' &\n"
          << "pid=$!\n"
          << "for i in $(seq 1 100); do win=$(xdotool search --onlyvisible --name '^Hello$' 2>/dev/null | head -1)\n"
          << "  [ -n \"$win\" ] && break; sleep 0.1; done\n"
          << "xdotool windowfocus --sync \"$win\" 2>/dev/null\n"
          << "sleep 3; xdotool key --window \"$win\" space\n"
          << "sleep 10; xdotool key --window \"$win\" space\n"
          << "sleep 3; xdotool key --window \"$win\" Escape\n"
          << "wait $pid\n";
    }
    ASSERT_EQ(run("xvfb-run -a bash '" + script + "'"), 0);
    ASSERT_EQ(run("mpg123 -q -s -r 44100 --stereo -e s16 -n 700 '" + track + "' > '" + dir + "/ref.raw'"), 0);

    // Where the show said it stopped.
    std::ifstream err(dir + "/show.err");
    std::string line, said;
    while (std::getline(err, line))
        if (line.find("stopped at") != std::string::npos) said = line;
    double stoppedAt = -1;
    ASSERT_EQ(std::sscanf(said.c_str(), "baubles: stopped at %lf", &stoppedAt), 1) << "no stop line: " << said;

    std::vector<int16_t> shown = readRaw(dir + "/show.raw"), ref = readRaw(dir + "/ref.raw");
    const size_t rate = 44100;
    std::vector<double> a = monoBlocks(shown, 1), b = monoBlocks(ref, 1);
    ASSERT_GT(a.size(), rate * 14) << "less sound came out than the show ran";

    // A held mixer writes exact digital silence; the track itself never has
    // a tenth of a second of it once it has begun. The pause is the longest
    // such stretch, found to the sample.
    auto silent = [&](size_t i) { return shown[2 * i] == 0 && shown[2 * i + 1] == 0; };
    size_t start = 0;
    while (start < a.size() && silent(start)) ++start;
    size_t gapFrom = 0, gapTo = 0;
    for (size_t i = start; i < a.size();) {
        if (!silent(i)) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < a.size() && silent(j)) ++j;
        if (j - i > gapTo - gapFrom) gapFrom = i, gapTo = j;
        i = j;
    }
    const double gapSeconds = double(gapTo - gapFrom) / rate;
    EXPECT_GT(gapSeconds, 9.0) << "the sound did not stop while paused";
    EXPECT_LT(gapSeconds, 11.5);

    // Where in the track the quarter second just before the pause and the
    // one just after it come from: the second goes on from the first.
    const size_t span = rate / 4;
    auto trackPlace = [&](size_t from, size_t guess) {
        double best = -1;
        size_t place = 0;
        const size_t lo = guess > rate / 2 ? guess - rate / 2 : 0;
        for (size_t p = lo; p <= guess + rate / 2 && p + span <= b.size(); ++p) {
            const double c = correlation(a, from, b, p, span);
            if (c > best) best = c, place = p;
        }
        EXPECT_GT(best, 0.95) << "the sound at " << from << " is not the track";
        return place;
    };
    ASSERT_GT(gapFrom, start + span);
    ASSERT_LT(gapTo + span, a.size());
    const size_t beforeFrom = gapFrom - span;
    const size_t endBefore = trackPlace(beforeFrom, beforeFrom - start) + span;
    const size_t startAfter = trackPlace(gapTo, endBefore);
    const double jump = (double(startAfter) - double(endBefore)) / rate;
    std::printf("the track stopped at %.4f s and went on at %.4f s\n", double(endBefore) / rate,
                double(startAfter) / rate);
    // Let go, the music is set to the picture; before and after, the two
    // agree within 40 ms each (the sync suite holds that), so the track's
    // place moves by at most their sum, never by whole beats.
    EXPECT_NEAR(jump, 0.0, 0.080) << "the track lost its place over the pause";
    const size_t resumed = gapTo;
    // The show's time at the stop against the track's.
    const double trackAt = double(startAfter + (a.size() - resumed)) / rate;
    std::printf("paused %.2f s; stopped at show %.2f s, track %.2f s\n", gapSeconds, stoppedAt, trackAt);
    EXPECT_NEAR(stoppedAt, trackAt, 0.3);
}
