// The live show's pace on simulated displays: 120 show frames per second on
// 60, 120, 144 and 240 Hz with vsync and with no vsync at all.
#include <gtest/gtest.h>

#include <cmath>

#include "app/pacing.h"

namespace {

struct SimulatedSecond {
    int showFrames = 0;
    int presents = 0;
};

// A loop like the live one on a display of refreshHz (0: no vsync), where
// each show frame costs renderCost seconds. Returns what one second does.
SimulatedSecond simulate(double refreshHz, double renderCost, double seconds = 10.0) {
    Pacer p;
    double now = 0.0;
    startPacing(p, now);
    SimulatedSecond r;
    const double warmup = 1.0;
    while (now < warmup + seconds) {
        int n = framesDue(p, now);
        if (n == 0) {
            // Nothing due: the loop sleeps until the next frame is due.
            now += std::max(secondsToNextFrame(p, now), 1e-4);
            continue;
        }
        now += n * renderCost;
        if (refreshHz > 0) {
            // The swap waits for the next refresh.
            double period = 1.0 / refreshHz;
            now = std::ceil(now / period + 1e-9) * period;
        }
        if (now > warmup && now <= warmup + seconds) {
            r.showFrames += n;
            ++r.presents;
        }
    }
    r.showFrames = static_cast<int>(std::lround(r.showFrames / seconds));
    r.presents = static_cast<int>(std::lround(r.presents / seconds));
    return r;
}

}  // namespace

TEST(Pacing, AHundredAndTwentyShowFramesASecondOnAnyDisplay) {
    for (double hz : {60.0, 120.0, 144.0, 240.0, 0.0}) {
        SimulatedSecond r = simulate(hz, 0.001);
        EXPECT_NEAR(r.showFrames, 120, 1) << hz << " Hz";
        if (hz == 60.0) {
            EXPECT_NEAR(r.presents, 60, 1) << "every second frame is presented";
        }
        if (hz >= 120.0) {
            EXPECT_NEAR(r.presents, 120, 1) << "never more than one present per show frame";
        }
    }
}

TEST(Pacing, SlowMachinesDropTheBacklogInsteadOfRacing) {
    // A machine that needs 20 ms a frame cannot reach 120: each present
    // carries at most a burst of frames, and nothing runs ahead of time.
    Pacer p;
    startPacing(p, 0.0);
    EXPECT_EQ(framesDue(p, 0.0), 1);
    EXPECT_EQ(framesDue(p, 0.0), 0);
    EXPECT_EQ(framesDue(p, 1.0), p.maxBurst);  // a one-second stall
    EXPECT_EQ(framesDue(p, 1.0), 0);
    EXPECT_NEAR(secondsToNextFrame(p, 1.0), 1.0 / 120, 1e-9);
    EXPECT_EQ(framesDue(p, 1.0 + 1.0 / 120), 1);
    EXPECT_EQ(framesDue(p, -5.0), 0);  // a clock that stepped back waits
}

TEST(Pacing, ThePictureKeepsUpWithTheMusicThroughSlowFrames) {
    // The live loop with the music playing on by the wall clock: frames cost
    // 2 ms, but a few take 40 ms, 0.7 s and 3 s (a busy machine, a stall).
    // Right after each, the show's clock must be back with the music's.
    Pacer p = livePacer();
    double now = 0.0;
    startPacing(p, now);
    const double slow[] = {0.04, 0.7, 3.0};
    int slowDone = 0;
    double worstLag = 0.0;
    uint64_t drawn = 0;
    while (now < 8.0) {
        const int n = framesDue(p, now);
        if (n == 0) {
            now += std::max(secondsToNextFrame(p, now), 1e-4);
            continue;
        }
        // The frame drawn shows the show at p.done frames; the music is at now.
        const double lag = now - static_cast<double>(p.done - 1) / p.rate;
        worstLag = std::max(worstLag, lag);
        ++drawn;
        now += 0.002 + (drawn % 200 == 0 && slowDone < 3 ? slow[slowDone++] : 0.0);
    }
    EXPECT_EQ(slowDone, 3);
    // At most one show frame and the detection of the due frames behind.
    EXPECT_LT(worstLag, 1.0 / p.rate + 1e-4);
    // Nothing runs ahead of the music either.
    EXPECT_LE(static_cast<double>(p.done - 1) / p.rate, now);
}

namespace {

// The live loop against a music player that plays on by the wall clock,
// except while the whole process is stopped. Frames cost 3 ms to draw.
struct SyncRun {
    Pacer p = livePacer();
    double now = 0.0;
    uint64_t shown = 0;     // the show frame presented last
    double musicAt = 0.0;   // the track's position, seconds
    double presentedAt = 0.0;
    int resyncs = 0;
    double stopInNextDraw = 0.0;  // the process stopped while drawing

    double showSeconds() const { return static_cast<double>(shown) / p.rate; }
    // The loop for `seconds` of wall time.
    void play(double seconds) {
        const double until = now + seconds;
        while (now < until) {
            const int n = framesDue(p, now);
            if (n == 0) {
                const double wait = std::max(secondsToNextFrame(p, now), 1e-4);
                now += wait, musicAt += wait;
                continue;
            }
            shown += static_cast<uint64_t>(n);
            now += 0.003 + stopInNextDraw, musicAt += 0.003;
            stopInNextDraw = 0.0;
            presentedAt = now;
            if (stepTaken(p, now, true)) musicAt = showSeconds(), ++resyncs;
        }
    }
    // How far the music is from the picture on screen now.
    double drift() const { return musicAt - (showSeconds() + (now - presentedAt)); }
};

}  // namespace

TEST(Pacing, TheMusicIsSetToThePictureOnlyWhereTheyCanPart) {
    SyncRun r;
    startPacing(r.p, 0.0);
    requestResync(r.p);  // after the load
    r.play(1.0);
    EXPECT_EQ(r.resyncs, 1);
    EXPECT_NEAR(r.drift(), 0.0, 0.01);

    // Slow frames of 40 ms with the music playing on: the picture makes them
    // up, and the music is left alone.
    for (int i = 0; i < 5; ++i) r.now += 0.04, r.musicAt += 0.04, r.play(0.2);
    EXPECT_EQ(r.resyncs, 1);
    EXPECT_NEAR(r.drift(), 0.0, 0.01);

    // The process stopped for 4 s while drawing: the wall clock ran on, the
    // music did not.
    r.stopInNextDraw = 4.0;
    r.play(0.001);  // that draw
    r.play(1.0);
    EXPECT_EQ(r.resyncs, 2);
    EXPECT_NEAR(r.drift(), 0.0, 0.01) << "picture " << r.showSeconds() << " s, music " << r.musicAt << " s";

    // A jump back ten seconds: advanced unseen, presented, then the music.
    r.shown -= 1200;
    requestResync(r.p);
    r.play(1.0);
    EXPECT_EQ(r.resyncs, 3);
    EXPECT_NEAR(r.drift(), 0.0, 0.01);

    // A frame of 0.7 s with the music playing on: set once, in step either way.
    r.now += 0.7, r.musicAt += 0.7;
    r.play(1.0);
    EXPECT_EQ(r.resyncs, 4);
    EXPECT_NEAR(r.drift(), 0.0, 0.01);
}
