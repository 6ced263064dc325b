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
