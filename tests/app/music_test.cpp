// The music set-up's two failures, each with its own message, and a track
// of any size kept whole in a buffer of its own size.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "show/host.h"
#include "app/music.h"
#include "platform/files.h"

namespace {

struct FakeAudio {
    static bool deviceWorks;
    static bool trackPlayable;
    static std::vector<std::string> messages;
    static size_t loadedSize;
    static int plays;
    static bool open() { return deviceWorks; }
    static bool load(const uint8_t*, size_t size) {
        loadedSize = size;
        return trackPlayable;
    }
    static void play() { ++plays; }
    static void box(const char* caption, const char* text) {
        EXPECT_STREQ(caption, "Error");
        messages.push_back(text);
    }
};
bool FakeAudio::deviceWorks = true;
bool FakeAudio::trackPlayable = true;
std::vector<std::string> FakeAudio::messages;
size_t FakeAudio::loadedSize = 0;
int FakeAudio::plays = 0;

const char* const kNoDevice = "Inicjacja diwajsu";
const char* const kNoTrack = "Brak pilku muzycznego w katalogu muzyka.";

class Music : public ::testing::Test {
protected:
    std::string oldDir, dir;
    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldDir = cwd;
        dir = ::testing::TempDir() + "music-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/muzyka'").c_str()), 0);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        resetHost();
        host.openAudio = FakeAudio::open;
        host.loadMusic = FakeAudio::load;
        host.playMusic = FakeAudio::play;
        host.messageBox = FakeAudio::box;
        FakeAudio::deviceWorks = true;
        FakeAudio::trackPlayable = true;
        FakeAudio::messages.clear();
        FakeAudio::loadedSize = 0;
        FakeAudio::plays = 0;
    }
    void TearDown() override {
        ASSERT_EQ(chdir(oldDir.c_str()), 0);
        resetHost();
    }
    void writeTrack(size_t size) {
        FILE* f = std::fopen("muzyka/I po co to.mp3", "wb");
        ASSERT_NE(f, nullptr);
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + 7);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, size, f), size);
        std::fclose(f);
    }
};

}  // namespace

TEST_F(Music, TrackIsReadWholeAndStartedOnce) {
    writeTrack(1000);
    initMusic();
    EXPECT_TRUE(FakeAudio::messages.empty());
    EXPECT_EQ(FakeAudio::loadedSize, 1000u);
    EXPECT_EQ(music.buffer.size(), 1000u);
    EXPECT_EQ(music.buffer[5], static_cast<uint8_t>(5 * 131 + 7));
    EXPECT_EQ(FakeAudio::plays, 0);  // nothing plays before the load ends
    startMusic();
    EXPECT_EQ(FakeAudio::plays, 1);
    shutdownMusic();
    EXPECT_TRUE(music.buffer.empty());
}

TEST_F(Music, MissingEmptyOrUnplayableTrackGivesItsMessageAndSilence) {
    initMusic();  // no file at all
    ASSERT_EQ(FakeAudio::messages.size(), 1u);
    EXPECT_EQ(FakeAudio::messages[0], kNoTrack);
    startMusic();
    EXPECT_EQ(FakeAudio::plays, 0);

    FakeAudio::messages.clear();
    writeTrack(0);
    initMusic();
    ASSERT_EQ(FakeAudio::messages.size(), 1u);
    EXPECT_EQ(FakeAudio::messages[0], kNoTrack);

    FakeAudio::messages.clear();
    writeTrack(5000);
    FakeAudio::trackPlayable = false;  // random bytes, say
    initMusic();
    ASSERT_EQ(FakeAudio::messages.size(), 1u);
    EXPECT_EQ(FakeAudio::messages[0], kNoTrack);
    startMusic();
    EXPECT_EQ(FakeAudio::plays, 0);
}

TEST_F(Music, NoDeviceGivesItsMessageAndTheShowGoesOn) {
    writeTrack(2000);
    FakeAudio::deviceWorks = false;
    initMusic();
    ASSERT_EQ(FakeAudio::messages.size(), 1u);  // the track itself is fine
    EXPECT_EQ(FakeAudio::messages[0], kNoDevice);
    startMusic();
    EXPECT_EQ(FakeAudio::plays, 0);

    FakeAudio::messages.clear();
    std::remove("muzyka/I po co to.mp3");
    initMusic();
    ASSERT_EQ(FakeAudio::messages.size(), 2u);
    EXPECT_EQ(FakeAudio::messages[0], kNoDevice);
    EXPECT_EQ(FakeAudio::messages[1], kNoTrack);
}

TEST_F(Music, TrackLargerThanTheOldBufferIsKeptWhole) {
    const size_t big = 5600000 + 123457;
    writeTrack(big);
    initMusic();
    EXPECT_TRUE(FakeAudio::messages.empty());
    EXPECT_EQ(music.buffer.size(), big);
    EXPECT_EQ(FakeAudio::loadedSize, big);
    EXPECT_EQ(music.buffer[big - 1], static_cast<uint8_t>((big - 1) * 131 + 7));
}

// A track that is there but spoiled keeps the show's own box; a line beside
// it names the file and what is wrong with it, in plain English. Nothing that
// is not a regular file, or that is past the cap, is read at all.
TEST_F(Music, SpoiledTrackKeepsItsBoxAndALineSaysWhy) {
    host.readFile = platformReadFile;  // the program's own reader
    const char* const track = "muzyka/I po co to.mp3";
    ASSERT_EQ(mkfifo(track, 0600), 0);
    testing::internal::CaptureStderr();
    initMusic();  // must not block on the FIFO
    std::string said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(FakeAudio::messages.size(), 1u);
    EXPECT_EQ(FakeAudio::messages[0], kNoTrack);
    EXPECT_NE(said.find(std::string(track) + " is a FIFO, not a regular file; the show runs silent"), std::string::npos)
        << said;

    ASSERT_EQ(std::remove(track), 0);
    writeTrack(0);
    ASSERT_EQ(truncate(track, static_cast<off_t>(kMaxTrackBytes) + 1), 0);  // sparse: no disk used
    FakeAudio::messages.clear();
    testing::internal::CaptureStderr();
    initMusic();
    said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(FakeAudio::messages.size(), 1u);
    EXPECT_EQ(FakeAudio::messages[0], kNoTrack);
    EXPECT_NE(said.find(std::string(track) + " is larger than 64 MB"), std::string::npos) << said;
    EXPECT_EQ(FakeAudio::loadedSize, 0u);
    EXPECT_TRUE(music.buffer.empty());

    // The cap itself is allowed.
    ASSERT_EQ(truncate(track, static_cast<off_t>(kMaxTrackBytes)), 0);
    FakeAudio::messages.clear();
    initMusic();
    EXPECT_TRUE(FakeAudio::messages.empty());
    EXPECT_EQ(FakeAudio::loadedSize, kMaxTrackBytes);
}

TEST(AssetPath, BackslashesBecomeSlashes) {
    EXPECT_EQ(assetPath("muzyka\\I po co to.mp3"), "muzyka/I po co to.mp3");
    EXPECT_EQ(assetPath("Images/Bombka.bmp"), "Images/Bombka.bmp");
}
