// Benchmark figures and the recorder's progress line.
#include <gtest/gtest.h>

#include "app/frame_stats.h"

TEST(FrameStats, QuantilesByNearestRank) {
    std::vector<double> t;
    for (int i = 100; i >= 1; --i) t.push_back(i);  // unsorted on purpose
    EXPECT_EQ(quantile(t, 0.5), 50);
    EXPECT_EQ(quantile(t, 0.95), 95);
    EXPECT_EQ(quantile(t, 1.0), 100);
    EXPECT_EQ(quantile({7}, 0.95), 7);
    EXPECT_EQ(quantile({}, 0.5), 0);
    EXPECT_EQ(benchWindowLine(0, 25000, "intro", {1, 2, 3, 4}, {3, 1, 2, 9}),
              "window 0 25000 intro frames 4 median_ms 2.000 p95_ms 4.000 cpu_median_ms 2.000");
}

TEST(FrameStats, ProgressLineShowsFramesTimeAndSpeed) {
    std::string half = progressLine(50, 100, 24.5, 2.25);
    EXPECT_NE(half.find("[###############...............]"), std::string::npos) << half;
    EXPECT_NE(half.find("50/100 frames"), std::string::npos);
    EXPECT_NE(half.find("show 24.5 s"), std::string::npos);
    EXPECT_NE(half.find("2.25x real time"), std::string::npos);
    EXPECT_NE(progressLine(200, 100, 0, 1).find("[##############################]"), std::string::npos);
}
