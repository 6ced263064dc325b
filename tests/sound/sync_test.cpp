// Picture and music watched and heard over time, as a viewer uses the live
// show: on a private X server, keys sent with xdotool, what would be heard
// captured by SDL's disk audio driver, what was presented logged by the show
// (BAUBLES_PRESENT_LOG). One second after each event, the track's time of
// the sound playing then is compared with the show time on screen then.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "capture.h"

namespace {

constexpr double kRate = 44100;

// The clock the show's present log is written in.
double rawNow() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void sleepFor(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::string readText(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A private X server for the whole suite run.
struct XServer {
    std::string dir;
    pid_t pid = 0;
    bool start(const std::string& folder) {
        dir = folder;
        run("Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>'" + dir + "/display' 2>/dev/null & echo $! > '" +
            dir + "/xpid'");
        for (int i = 0; i < 100 && readText(dir + "/display").empty(); ++i) sleepFor(0.05);
        const std::string display = readText(dir + "/display");
        pid = std::atoi(readText(dir + "/xpid").c_str());
        if (display.empty()) return false;
        setenv("DISPLAY", (":" + std::to_string(std::atoi(display.c_str()))).c_str(), 1);
        return true;
    }
    ~XServer() {
        if (pid > 0) kill(pid, SIGTERM);
    }
};

// One live show: started, watched, heard.
struct LiveShow {
    std::string dir, capture, presents, window;
    pid_t pid = 0;
    std::vector<std::pair<double, long>> writes;  // when the capture grew, to what size
    std::atomic<bool> polling{false};
    std::thread poller;

    bool start(const std::string& folder, const std::string& args) {
        dir = folder;
        capture = dir + "/show.raw";
        presents = dir + "/presents.log";
        run("mkdir -p '" + dir + "'");
        run("cd '" + std::string(BAUBLES_ASSET_DIR) + "' && env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" +
            capture + "' BAUBLES_PRESENT_LOG='" + presents + "' '" + BAUBLES_EXE + "' --window 640x480 " + args +
            " 2> '" + dir + "/show.err' & echo $! > '" + dir + "/pid'");
        pid = std::atoi(readText(dir + "/pid").c_str());
        // The disk driver writes a buffer, then waits one buffer's time: the
        // buffer last written is the one playing.
        polling = true;
        poller = std::thread([this] {
            long last = -1;
            while (polling) {
                struct stat st;
                if (stat(capture.c_str(), &st) == 0 && st.st_size != last) {
                    last = st.st_size;
                    writes.emplace_back(rawNow(), last);
                }
                usleep(500);
            }
        });
        run("timeout 30 xdotool search --sync --onlyvisible --name '^Hello$' 2>/dev/null | head -1 > '" + dir +
            "/window'");
        window = readText(dir + "/window");
        while (!window.empty() && window.back() == '\n') window.pop_back();
        return pid > 0 && !window.empty();
    }
    void key(const char* name) { run("xdotool key --window " + window + " " + name); }
    // The wall time of the first picture presented, once there is one.
    double firstPresent() {
        for (int i = 0; i < 200; ++i) {
            std::ifstream f(presents);
            double w = 0;
            unsigned ms = 0;
            if (f >> w >> ms) return w;
            sleepFor(0.02);
        }
        return -1;
    }
    int finish() {
        int status = 0;
        run("for i in $(seq 1 100); do kill -0 " + std::to_string(pid) + " 2>/dev/null || break; sleep 0.1; done");
        polling = false;
        poller.join();
        if (kill(pid, 0) == 0) status = -1, kill(pid, SIGKILL);
        return status;
    }

    // The show time on screen at wall time w.
    double pictureAt(double w) const {
        std::ifstream f(presents);
        double at = 0, shown = -1, last = -1;
        unsigned ms = 0;
        while (f >> at >> ms && at <= w) last = at, shown = ms / 1000.0;
        return shown < 0 ? -1 : shown + (w - last);
    }
    // The capture's sample frame playing at wall time w.
    double sampleAt(double w) const {
        for (size_t i = writes.size(); i-- > 1;)
            if (writes[i].first <= w) return writes[i - 1].second / 4.0 + (w - writes[i].first) * kRate;
        return -1;
    }
};

// Where in the track the quarter second of capture from sample frame `from`
// comes from, searched around `guess` seconds; seconds, with the match.
std::pair<double, double> trackTimeOf(const std::vector<double>& shown, size_t from, const std::vector<double>& track,
                                      double guess) {
    const size_t span = static_cast<size_t>(kRate / 4), block = 8;
    if (from + span > shown.size()) return {-1, 0};
    // Coarse in blocks of 8 frames over a second either side, then exact.
    std::vector<double> a, b;
    for (size_t i = from; i + block <= from + span; i += block) {
        double s = 0;
        for (size_t k = 0; k < block; ++k) s += shown[i + k];
        a.push_back(s / block);
    }
    const size_t lo = static_cast<size_t>(std::max(0.0, (guess - 1.0) * kRate));
    const size_t hi = std::min(track.size() > span ? track.size() - span : 0, static_cast<size_t>((guess + 1.0) * kRate));
    for (size_t i = lo; i + block <= hi + span; i += block) {
        double s = 0;
        for (size_t k = 0; k < block; ++k) s += track[i + k];
        b.push_back(s / block);
    }
    double best = -1;
    size_t place = lo;
    for (size_t p = 0; p + a.size() <= b.size(); ++p) {
        const double c = correlation(a, 0, b, p, a.size());
        if (c > best) best = c, place = lo + p * block;
    }
    double fine = -1;
    size_t exact = place;
    for (size_t p = place > block ? place - block : 0; p <= place + block && p + span <= track.size(); ++p) {
        const double c = correlation(shown, from, track, p, span);
        if (c > fine) fine = c, exact = p;
    }
    return {exact / kRate, fine};
}

class Sync : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = ::testing::TempDir() + "baubles-sync-" + std::to_string(getpid());
        run("rm -rf '" + dir + "' && mkdir -p '" + dir + "'");
        const std::string mp3 = std::string(BAUBLES_ASSET_DIR) + "/muzyka/I po co to.mp3";
        run("mpg123 -q -s -r 44100 --stereo -e s16 '" + mp3 + "' > '" + dir + "/track.raw' 2>/dev/null");
        track = monoBlocks(readRaw(dir + "/track.raw"), 1);
        x = new XServer;
        serverUp = x->start(dir);
    }
    static void TearDownTestSuite() {
        delete x;
        x = nullptr;
    }
    // Picture minus music at wall time w, in seconds; fails the test where
    // the sound there is not the track.
    static double drift(const LiveShow& show, const std::vector<double>& heard, double w, const char* what) {
        const double picture = show.pictureAt(w), sample = show.sampleAt(w);
        EXPECT_GE(picture, 0) << what << ": nothing presented yet";
        EXPECT_GE(sample, 0) << what << ": nothing heard yet";
        if (picture < 0 || sample < 0) return 1e9;
        const auto [music, match] = trackTimeOf(heard, static_cast<size_t>(sample), track, picture);
        EXPECT_GT(match, 0.95) << what << ": the sound at " << picture << " s of show is not the track";
        std::printf("%-28s picture %8.3f s  music %8.3f s  (%+.0f ms, match %.3f)\n", what, picture, music,
                    (music - picture) * 1000, match);
        return music - picture;
    }
    static std::string dir;
    static std::vector<double> track;
    static XServer* x;
    static bool serverUp;
};
std::string Sync::dir;
std::vector<double> Sync::track;
XServer* Sync::x = nullptr;
bool Sync::serverUp = false;

}  // namespace

// A start, a jump forward into a scene not yet drawn, a jump back, a ten
// second pause, and the whole program stopped for four seconds.
TEST_F(Sync, PictureAndMusicStayTogetherThroughJumpsPausesAndStops) {
    ASSERT_TRUE(serverUp) << "no X server";
    LiveShow show;
    ASSERT_TRUE(show.start(dir + "/play", "")) << readText(dir + "/play/show.err");
    const double t0 = show.firstPresent();
    ASSERT_GT(t0, 0) << "nothing was presented";
    std::vector<std::pair<double, const char*>> checks;
    auto after = [&](const char* what) {
        const double at = rawNow() + 1.0;
        checks.emplace_back(at, what);
        sleepFor(at - rawNow() + 0.3);
    };
    checks.emplace_back(t0 + 1.0, "a plain start");
    sleepFor(t0 + 1.5 - rawNow());
    show.key("Up");  // 30 s on: the valley, not drawn yet in this run
    after("a jump into a new scene");
    show.key("Left");
    after("a jump back");
    show.key("space");
    sleepFor(10.0);
    show.key("space");
    after("a ten second pause");
    kill(show.pid, SIGSTOP);
    sleepFor(4.0);
    kill(show.pid, SIGCONT);
    after("four seconds stopped");
    show.key("Escape");
    ASSERT_EQ(show.finish(), 0) << "the show did not end on Escape";

    const std::vector<double> heard = monoBlocks(readRaw(show.capture), 1);
    for (const auto& [w, what] : checks) EXPECT_NEAR(drift(show, heard, w, what), 0.0, 0.040) << what;
}

// Late starts: the music starts with the first picture, from its time.
// From 299.9 s nothing of the track before 299 s is heard.
TEST_F(Sync, ALateStartPlaysFromThereAndNothingEarlier) {
    ASSERT_TRUE(serverUp) << "no X server";
    for (const char* at : {"150", "297", "299.9"}) {
        SCOPED_TRACE(at);
        LiveShow show;
        const std::string folder = dir + "/start-" + at;
        ASSERT_TRUE(show.start(folder, std::string("--start ") + at)) << readText(folder + "/show.err");
        const double t0 = show.firstPresent();
        ASSERT_GT(t0, 0) << "nothing was presented";
        const bool end = std::string(at) == "299.9";
        sleepFor(t0 + 1.5 - rawNow());
        if (!end) show.key("Escape");
        ASSERT_EQ(show.finish(), 0);
        const std::vector<double> heard = monoBlocks(readRaw(show.capture), 1);
        if (!end) {
            EXPECT_NEAR(drift(show, heard, t0 + 1.0, (std::string("--start ") + at).c_str()), 0.0, 0.040);
            continue;
        }
        // Every twentieth of a second with sound in it is found in the
        // track's last second.
        const size_t span = static_cast<size_t>(kRate / 20);
        int loud = 0;
        for (size_t i = 0; i + span <= heard.size(); i += span) {
            double peak = 0;
            for (size_t k = i; k < i + span; ++k) peak = std::max(peak, std::fabs(heard[k]));
            if (peak < 200) continue;
            ++loud;
            double best = -1;
            for (size_t p = static_cast<size_t>(299 * kRate); p + span <= track.size(); ++p)
                best = std::max(best, correlation(heard, i, track, p, span));
            EXPECT_GT(best, 0.95) << "sound " << i / kRate << " s into the capture is not from the track's last second";
        }
        std::printf("--start 299.9: %d twentieths of a second with sound, all from the end\n", loud);
    }
}
