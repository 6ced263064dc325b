// The command line: the plain show by default, and clear refusals.
#include <gtest/gtest.h>

#include <vector>

#include "app/options.h"

namespace {
bool parse(std::vector<const char*> args, Options& o, std::string& error) {
    args.insert(args.begin(), "baubles");
    return parseOptions(static_cast<int>(args.size()), args.data(), o, error);
}
}  // namespace

TEST(Options, DefaultsAndGoodForms) {
    Options o;
    std::string e;
    ASSERT_TRUE(parse({}, o, e));
    EXPECT_EQ(o.mode, Options::Mode::Show);
    EXPECT_FALSE(o.windowed);

    ASSERT_TRUE(parse({"--window"}, o, e));
    EXPECT_TRUE(o.windowed);
    EXPECT_EQ(o.width, 640);
    ASSERT_TRUE(parse({"--window", "800x600"}, o, e));
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(o.height, 600);

    ASSERT_TRUE(parse({"--shots", "out", "--at", "30000,500,500", "--size", "320x240", "--fps", "60"}, o, e));
    EXPECT_EQ(o.mode, Options::Mode::Shots);
    EXPECT_EQ(o.shotsDir, "out");
    EXPECT_EQ(o.shotTimes, (std::vector<uint32_t>{500, 30000}));  // sorted, once each
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(defaultFps(o), 60);
    ASSERT_TRUE(parse({"--shots", "out", "--at", "0"}, o, e));
    EXPECT_EQ(defaultFps(o), 120);

    ASSERT_TRUE(parse({"--window", "--start", "97.5"}, o, e));
    EXPECT_DOUBLE_EQ(o.startSeconds, 97.5);
    ASSERT_TRUE(parse({"--record", "show.mp4", "--from", "24", "--to", "26"}, o, e));
    EXPECT_EQ(o.mode, Options::Mode::Record);
    EXPECT_EQ(o.recordFile, "show.mp4");
    EXPECT_EQ(defaultFps(o), 60);
    EXPECT_DOUBLE_EQ(o.fromSeconds, 24);
    EXPECT_DOUBLE_EQ(o.toSeconds, 26);
    ASSERT_TRUE(parse({"--bench"}, o, e));
    EXPECT_EQ(defaultFps(o), 30);

    ASSERT_TRUE(parse({"--window", "1280x720", "--render", "320x240", "--mode-switch"}, o, e));
    EXPECT_EQ(o.renderWidth, 320);
    EXPECT_EQ(o.renderHeight, 240);
    EXPECT_EQ(o.width, 1280);
    EXPECT_TRUE(o.modeSwitch);
}

TEST(Options, BadFormsAreRefusedWithAReason) {
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},
        {"--shots"},
        {"--shots", "out"},                          // no --at
        {"--shots", "out", "--at"},
        {"--shots", "out", "--at", "1,,2"},
        {"--shots", "out", "--at", "-5"},
        {"--shots", "out", "--at", "99999999999999"},
        {"--shots", "out", "--at", "1", "--fps", "0"},
        {"--shots", "out", "--at", "1", "--size", "10x10"},
        {"--shots", "out", "--at", "1", "--size", "640x"},
        {"--shots", "out", "--at", "1", "--window"},
        {"--window", "640by480"},
        {"--fps", "30"},                             // only with a fixed-step mode
        {"--start", "301"},
        {"--start", "ten"},
        {"--start"},
        {"--record"},
        {"--record", "a.mp4", "--fps", "7"},         // 120 is not a multiple of 7
        {"--shots", "out", "--at", "1", "--fps", "7"},
        {"--bench", "--fps", "50"},
        {"--render", "640"},
        {"--shots", "out", "--at", "1", "--render", "640x480"},  // shots keep --size
        {"--record", "a.mp4", "--mode-switch"},
        {"--record", "a.mp4", "--from", "20", "--to", "10"},
        {"--record", "a.mp4", "--start", "5"},
        {"--bench", "--size", "320x240"},
        {"--from", "3"},
    };
    for (const auto& args : bad) {
        Options o;
        std::string e;
        EXPECT_FALSE(parse(args, o, e)) << args[0];
        EXPECT_FALSE(e.empty());
    }
}

// Careless command lines: two modes at once, empty names, times past the
// show's end and sizes the encoder refuses are all turned down, not left to
// fail after rendering (or to let the last mode silently win).
TEST(Options, ConflictsEmptyNamesAndRangesAreRefused) {
    const std::vector<std::vector<const char*>> bad = {
        {"--record", "a.mp4", "--shots", "d", "--at", "0"},
        {"--shots", "d", "--at", "0", "--record", "a.mp4"},
        {"--record", "a.mp4", "--bench"},
        {"--bench", "--shots", "d", "--at", "0"},
        {"--bench", "--bench"},
        {"--record", "a.mp4", "--record", "b.mp4"},
        {"--record", ""},
        {"--shots", "", "--at", "0"},
        {"--shots", "d", "--at", "300001"},
        {"--shots", "d", "--at", "0,400000"},
        {"--record", "a.mp4", "--size", "17x17"},
        {"--record", "a.mp4", "--size", "640x481"},
        {"--record", "a.mp4", "--from", "0.0001", "--to", "0.0009"},  // no frame in the range
    };
    for (const auto& args : bad) {
        Options o;
        std::string e;
        std::string line;
        for (const char* a : args) line += std::string(a) + " ";
        EXPECT_FALSE(parse(args, o, e)) << line;
        EXPECT_FALSE(e.empty()) << line;
    }
    Options o;
    std::string e;
    EXPECT_TRUE(parse({"--shots", "d", "--at", "300000"}, o, e)) << e;
    EXPECT_TRUE(parse({"--record", "a.mp4", "--size", "18x16"}, o, e)) << e;
    EXPECT_TRUE(parse({"--shots", "d", "--at", "0", "--size", "17x17"}, o, e)) << e;  // a PNG may be odd
    ASSERT_FALSE(parse({"--record", "a.mp4", "--bench"}, o, e));
    EXPECT_NE(e.find("--record and --bench"), std::string::npos) << e;
}

// The progress bar's total is the number of frames the recorder keeps: the
// show frames (120 a second) in [from, to) at every (120/fps)-th frame.
TEST(Options, RecordFrameCountMatchesTheKeptFrames) {
    Options o;
    std::string e;
    ASSERT_TRUE(parse({"--record", "a.mp4", "--from", "2", "--to", "3"}, o, e));
    EXPECT_EQ(recordFrameCount(o), 60u);
    ASSERT_TRUE(parse({"--record", "a.mp4"}, o, e));
    EXPECT_EQ(recordFrameCount(o), 18000u);
    ASSERT_TRUE(parse({"--record", "a.mp4", "--to", "0.001"}, o, e));
    EXPECT_EQ(recordFrameCount(o), 1u);  // frame 0 alone, never "1/0"
    ASSERT_TRUE(parse({"--record", "a.mp4", "--from", "0.01", "--to", "0.02", "--fps", "120"}, o, e));
    EXPECT_EQ(recordFrameCount(o), 1u);  // frames at 8, 16 and 25 ms: only 16 ms lies in [10, 20)
    ASSERT_TRUE(parse({"--record", "a.mp4", "--from", "2", "--to", "3", "--fps", "24"}, o, e));
    EXPECT_EQ(recordFrameCount(o), 24u);  // every 5th frame from 240 (2000 ms) to 355
}

TEST(Options, ValuesThatWouldFailLateAreRefusedNow) {
    Options o;
    std::string e;
    // Names that look like options: refused with the way to mean them.
    for (std::vector<const char*> args : std::vector<std::vector<const char*>>{
             {"--record", "--help"}, {"--record", "-"}, {"--shots", "-x", "--at", "0"}}) {
        e.clear();
        EXPECT_FALSE(parse(args, o, e)) << args[1];
        EXPECT_NE(e.find(std::string("./") + args[1]), std::string::npos) << e;
    }
    EXPECT_TRUE(parse({"--record", "./-"}, o, e)) << e;
    // H.264's largest frame.
    EXPECT_TRUE(parse({"--record", "a.mp4", "--size", "8192x4320"}, o, e)) << e;
    for (const char* size : {"16384x16384", "8194x4320", "5760x4322"}) {
        e.clear();
        EXPECT_FALSE(parse({"--record", "a.mp4", "--size", size}, o, e)) << size;
        EXPECT_NE(e.find("8192x4320"), std::string::npos) << e;
    }
    EXPECT_TRUE(parse({"--shots", "d", "--at", "0", "--size", "16384x12288"}, o, e)) << e;
}
