// The track through the real audio layer (SDL2_mixer on SDL's dummy
// device): a good track plays, and empty, random, cut-short and oversized
// ones neither crash nor read past their bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "show/host.h"
#include "app/music.h"
#include "support/offscreen_gl.h"

namespace {

std::vector<std::string> boxes;
void recordBox(const char*, const char* text) { boxes.push_back(text); }

std::vector<uint8_t> showTrack() {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(readWholeFile(std::string(BAUBLES_ASSET_DIR) + "/muzyka/I po co to.mp3", bytes));
    return bytes;
}

// Writes bytes as the track of a fresh folder and runs the music set-up there.
void initWith(const std::vector<uint8_t>& bytes, const std::string& name) {
    const std::string dir = ::testing::TempDir() + "audio-" + name;
    ASSERT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/muzyka'").c_str()), 0);
    FILE* f = std::fopen((dir + "/muzyka/I po co to.mp3").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    boxes.clear();
    initMusic();
    ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace

TEST(RealAudio, TracksGoodAndBad) {
    ASSERT_TRUE(openOffscreenGl());
    host.messageBox = recordBox;
    std::vector<uint8_t> good = showTrack();
    ASSERT_GT(good.size(), 1000000u);

    initWith(good, "good");
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(music.deviceOpen);
    EXPECT_TRUE(music.loaded);
    startMusic();
    shutdownMusic();

    initWith({}, "empty");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Brak pilku muzycznego w katalogu muzyka.");
    EXPECT_FALSE(music.loaded);
    shutdownMusic();

    std::vector<uint8_t> noise(200000);
    uint32_t state = 12345;
    for (uint8_t& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    initWith(noise, "noise");
    EXPECT_FALSE(music.loaded);
    EXPECT_EQ(boxes.size(), 1u);
    startMusic();  // nothing to play, nothing happens
    shutdownMusic();

    // Cut short in the middle of a frame: what is there plays.
    std::vector<uint8_t> cut(good.begin(), good.begin() + 123457);
    initWith(cut, "cut");
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(music.loaded);
    startMusic();
    shutdownMusic();

    // Larger than the show's old 5,600,000-byte buffer: kept and played whole.
    std::vector<uint8_t> big = good;
    big.insert(big.end(), good.begin(), good.begin() + (5700000 - good.size()));
    initWith(big, "big");
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(music.loaded);
    EXPECT_EQ(music.buffer.size(), 5700000u);
    startMusic();
    shutdownMusic();
    resetHost();
}
