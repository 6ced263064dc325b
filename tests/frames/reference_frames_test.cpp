// reference_frames_test.cpp - one reviewed frame per scene window: the show
// drawn now must match it within a tolerance, so that a change to the
// picture is a reviewed event (tools/update_reference_frames.sh) and never
// an accident.
#include <cmath>
#include <fstream>
#include <sstream>

#include "frames.h"

namespace {

// Tolerances, in 0..255 levels per channel: the mean over the whole frame,
// and the worst pixel after a 3x3 average (which forgives rounding noise
// in the rasteriser but not a moved or recoloured object).
constexpr double kMeanLimit = 2.0;
constexpr double kWorstLimit = 48.0;

struct Moment {
    int ms;
    std::string scene;
};

std::vector<Moment> referenceMoments() {
    std::vector<Moment> out;
    std::ifstream in(std::string(BAUBLES_TEST_DATA) + "/reference/times.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        Moment m;
        if (words >> m.ms >> m.scene) out.push_back(m);
    }
    return out;
}

struct Difference {
    double mean = 0, worst = 0;
    int worstX = 0, worstY = 0;
};

Difference compare(const Frame& a, const Frame& b) {
    Difference d;
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    d.mean = sum / static_cast<double>(a.rgb.size());
    for (int y = 1; y + 1 < a.h; ++y)
        for (int x = 1; x + 1 < a.w; ++x)
            for (int c = 0; c < 3; ++c) {
                double s = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) s += int(a.at(x + dx, y + dy)[c]) - int(b.at(x + dx, y + dy)[c]);
                const double box = std::fabs(s) / 9;
                if (box > d.worst) d = {d.mean, box, x, y};
            }
    return d;
}

}  // namespace

TEST(ReferenceFrames, EverySceneWindowLooksAsReviewed) {
    const std::vector<Moment> moments = referenceMoments();
    ASSERT_GE(moments.size(), 8u) << "one moment per scene window";
    for (const char* passes : kPassPaths)
    for (const Moment& m : moments) {
        SCOPED_TRACE(m.scene + " at " + std::to_string(m.ms) + " ms, passes " + passes);
        Frame reference, now;
        const std::string path = std::string(BAUBLES_TEST_DATA) + "/reference/shot-" + std::to_string(m.ms) + ".png";
        ASSERT_TRUE(readPng(path, kFrameW, kFrameH, reference)) << "no reference " << path;
        ASSERT_TRUE(showFrame(m.ms, now, passes));
        const Difference d = compare(now, reference);
        EXPECT_LE(d.mean, kMeanLimit) << "mean difference";
        EXPECT_LE(d.worst, kWorstLimit) << "worst 3x3 difference at (" << d.worstX << ", " << d.worstY
                                        << "); if the change is meant, rewrite the references with "
                                           "tools/update_reference_frames.sh and review them";
    }
}

// The separate passes draw the folded ones' picture: where a sheet folds
// onto itself its picture is multiplied in once, not twice.
TEST(ReferenceFrames, BothWaysOfDrawingGiveOnePicture) {
    for (const Moment& m : referenceMoments()) {
        SCOPED_TRACE(m.scene + " at " + std::to_string(m.ms) + " ms");
        Frame folded, separate;
        ASSERT_TRUE(showFrame(m.ms, folded, "folded"));
        ASSERT_TRUE(showFrame(m.ms, separate, "separate"));
        const Difference d = compare(folded, separate);
        EXPECT_LE(d.mean, 0.002 * 255) << "mean difference";
        // Pixels more than 8 levels apart in a channel: the fold at 170 s had
        // 134. Where a tree's edge meets the ground in the valley, the two
        // ways of blending round a pixel or two to the other side.
        int apart = 0;
        for (size_t i = 0; i < folded.rgb.size(); i += 3)
            for (int c = 0; c < 3; ++c)
                if (std::abs(int(folded.rgb[i + c]) - int(separate.rgb[i + c])) > 8) {
                    ++apart;
                    break;
                }
        EXPECT_LE(apart, 4) << "pixels more than 8 levels apart";
    }
}

TEST(ReferenceFrames, TheComparisonSeesAMovedObject) {
    // A white 6 x 6 square on grey, then moved by 4 pixels: the frame means
    // stay close, the worst pixel does not.
    Frame a, b;
    for (Frame* f : {&a, &b}) {
        f->w = kFrameW;
        f->h = kFrameH;
        f->rgb.assign(static_cast<size_t>(kFrameW) * kFrameH * 3, 100);
    }
    for (int y = 100; y < 106; ++y)
        for (int x = 100; x < 106; ++x) {
            for (int c = 0; c < 3; ++c) a.at(x, y)[c] = 255;
            for (int c = 0; c < 3; ++c) b.at(x + 4, y)[c] = 255;
        }
    const Difference d = compare(a, b);
    EXPECT_LE(d.mean, kMeanLimit);
    EXPECT_GT(d.worst, kWorstLimit);
    EXPECT_EQ(compare(a, a).worst, 0.0);
}
