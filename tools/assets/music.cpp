// music.cpp - the track's synthesiser and arranger. Each scene of the show has a
// section of its own (key, chords, instruments, loudness), starting exactly at
// the scene's first second. The whole track keeps one tempo, 120 BPM: a scene
// change that does not fall on a bar line is met musically (a pickup before the
// first bar, a two-beat fill bar, or the new section pushed an eighth ahead of
// its downbeat), never by stretching bars. Inside a section the bars follow a
// form (groove, variant, breakdown, build, peak, release) so no phrase simply
// loops. Voices are rendered note by note into a low bus (kick and bass), a dry
// bus and two send buses (echo, reverb); everything but the low bus is
// high-passed and given some presence, the master is high-passed at 20 Hz,
// brought to -14 LUFS and held under a true-peak ceiling by a look-ahead
// limiter, and written as 16-bit PCM for the encoder.
#include "music.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <stdexcept>

#include "show/schedule.h"

namespace {

// The scenes' first seconds and the show's end, from the show's schedule.
std::vector<double> sectionsOfTheShow() {
    std::vector<double> starts;
    for (const SceneRow& row : kSceneRows) starts.push_back(row.from / 1000.0);
    starts.push_back(kShowLengthMs / 1000.0);
    return starts;
}

}  // namespace

const std::vector<double> trackSections = sectionsOfTheShow();

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// One tempo for the whole show: 120 beats a minute, four beats to the bar, and
// the sixteenth ("step") as the grid every note sits on.
constexpr double kBpm = 120;
constexpr double kBeat = 60 / kBpm, kBar = 4 * kBeat, kStep = kBeat / 4;

// Loudness and true peak of the master before encoding, set so that the MP3
// measures -14 LUFS and stays under -1 dBTP: the encoder takes about 0.4 LU
// away (the quiet side-channel detail) and adds about 1 dB to the peaks.
constexpr double kTargetLufs = -13.6;
constexpr double kCeilingDbtp = -2.4;

struct Bus {
    std::vector<float> l, r;
    explicit Bus(size_t n = 0) : l(n, 0.f), r(n, 0.f) {}
};

// The buses every voice writes into: kick and bass into `low` (no high-pass),
// everything else into `dry`, with sends to the echo and the reverb.
struct Mixer {
    Bus low, dry, echo, verb;
    size_t n;
    double until = 1e30;  // no note starts here or later: the next section's start
    explicit Mixer(size_t frames) : low(frames), dry(frames), echo(frames), verb(frames), n(frames) {}
    // Adds one sample panned (-1 left .. 1 right) with send levels.
    void put(size_t i, float v, float pan, float echoSend, float verbSend, bool toLow = false) {
        if (i >= n) return;
        float gl = std::sqrt(0.5f * (1 - pan)), gr = std::sqrt(0.5f * (1 + pan));
        Bus& b = toLow ? low : dry;
        b.l[i] += v * gl, b.r[i] += v * gr;
        if (echoSend > 0) echo.l[i] += v * gl * echoSend, echo.r[i] += v * gr * echoSend;
        if (verbSend > 0) verb.l[i] += v * gl * verbSend, verb.r[i] += v * gr * verbSend;
    }
};

// White noise from a small deterministic generator.
struct Noise {
    uint32_t s;
    explicit Noise(uint32_t seed) : s(seed * 747796405u + 2891336453u) {}
    float next() {
        s = s * 1664525u + 1013904223u;
        return float(int32_t(s)) / 2147483648.f;
    }
};

// Topology-preserving state-variable filter (low, band and high outputs).
struct Svf {
    float ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0, k = 1;
    float lp = 0, bp = 0, hp = 0;
    // Sets the cut-off (Hz) and resonance.
    void tune(float fc, float q) {
        fc = std::clamp(fc, 20.f, 16000.f);
        float g = std::tan(float(kPi) * fc / kRate);
        k = 1 / q;
        a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
    }
    // Filters one sample.
    void run(float x) {
        float v3 = x - ic2, v1 = a1 * ic1 + a2 * v3, v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1, ic2 = 2 * v2 - ic2;
        lp = v2, bp = v1, hp = x - k * v1 - v2;
    }
};

// A biquad in double precision (transposed direct form II), for the master.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, z1 = 0, z2 = 0;
    double run(double x) {
        double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// Second-order Butterworth high-pass at fc (the bilinear transform of RBJ's cookbook).
Biquad highPass(double fc, double q = 0.70710678) {
    double w = 2 * kPi * fc / kRate, c = std::cos(w), alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
    Biquad f;
    f.b0 = (1 + c) / 2 / a0, f.b1 = -(1 + c) / a0, f.b2 = (1 + c) / 2 / a0;
    f.a1 = -2 * c / a0, f.a2 = (1 - alpha) / a0;
    return f;
}

// Second-order Butterworth low-pass at fc.
Biquad lowPass(double fc, double q = 0.70710678) {
    double w = 2 * kPi * fc / kRate, c = std::cos(w), alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
    Biquad f;
    f.b0 = (1 - c) / 2 / a0, f.b1 = (1 - c) / a0, f.b2 = (1 - c) / 2 / a0;
    f.a1 = -2 * c / a0, f.a2 = (1 - alpha) / a0;
    return f;
}

// Frequency of a MIDI note.
float hz(float note) { return 440.f * std::pow(2.f, (note - 69) / 12.f); }

// Band-limited step correction for the saw and pulse oscillators.
float polyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1;
    }
    if (t > 1 - dt) {
        t = (t - 1) / dt;
        return t * t + t + t + 1;
    }
    return 0;
}

// Attack-decay-sustain-release envelope at time t of a note held for `hold` seconds.
float adsr(float t, float hold, float a, float d, float s, float r) {
    float v;
    if (t < a) v = t / a;
    else if (t < a + d) v = 1 - (1 - s) * (t - a) / d;
    else v = s;
    if (t > hold) {
        float held = hold < a ? hold / a : (hold < a + d ? 1 - (1 - s) * (hold - a) / d : s);
        v = held * std::max(0.f, 1 - (t - hold) / r);
    }
    return std::max(0.f, v);
}

size_t frameAt(double t) { return size_t(std::max(0.0, t) * kRate + 0.5); }

// A player's small unevenness: a loudness factor of 1 +- 7 % fixed by the time
// of the hit, so every build plays the same.
float feel(double t, uint32_t salt) {
    Noise n(uint32_t(frameAt(t)) * 31u + salt);
    n.next();
    return 1 + 0.07f * n.next();
}

// ---------------------------------------------------------------- voices

// Kick drum: a sine swept down from 170 Hz with a click, into the low bus.
void kick(Mixer& m, double t0, float gain) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t(0.4 * kRate);
    float phase = 0.5f * float(kPi);  // starts at its crest, not at zero: no offset left behind
    Noise nz{uint32_t(i0)};
    Svf click;
    click.tune(3000, 0.7f);
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        float f = 52 + 118 * std::exp(-t * 30);
        phase += 2 * float(kPi) * f / kRate;
        float body = std::sin(phase) * std::exp(-t * 9.f) * std::min(1.f, t * 2000);
        click.run(nz.next());
        float v = body + (i < 400 ? click.bp * 0.9f * (1 - i / 400.f) : 0);
        m.put(i0 + i, v * gain, 0, 0, 0.02f, true);
    }
}

// Snare: a short tone and a band of noise, with a bright crack.
void snare(Mixer& m, double t0, float gain, float pan = 0.05f) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t(0.3 * kRate);
    Noise nz(uint32_t(i0) + 7);
    Svf f, crack;
    f.tune(3500, 0.7f), crack.tune(7000, 0.8f);
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        float n = nz.next();
        f.run(n), crack.run(n);
        float v = 0.35f * std::sin(2 * float(kPi) * 190 * t) * std::exp(-t * 35) + 0.8f * f.bp * std::exp(-t * 16) +
                  0.5f * crack.hp * std::exp(-t * 40);
        m.put(i0 + i, v * gain, pan, 0, 0.25f);
    }
}

// Hi-hat: high-passed noise, closed or open.
void hat(Mixer& m, double t0, float gain, bool open, float pan) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t((open ? 0.35 : 0.07) * kRate);
    Noise nz(uint32_t(i0) + 13);
    Svf f;
    f.tune(7500, 1.0f);
    float decay = open ? 9.f : 55.f;
    for (size_t i = 0; i < len; ++i) {
        f.run(nz.next());
        float v = f.hp * std::exp(-float(i) / kRate * decay);
        m.put(i0 + i, v * gain, pan, 0, 0.1f);
    }
}

// Shaker: a short swish of band-passed noise with a soft attack.
void shaker(Mixer& m, double t0, float gain, float pan) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t(0.09 * kRate);
    Noise nz(uint32_t(i0) + 29);
    Svf f;
    f.tune(6000, 1.4f);
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        f.run(nz.next());
        float e = std::min(1.f, t * 120) * std::exp(-t * 40);
        m.put(i0 + i, f.bp * e * gain, pan, 0, 0.15f);
    }
}

// Ride: a ringing inharmonic bell over a wash of noise.
void ride(Mixer& m, double t0, float gain, float pan) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t(0.8 * kRate);
    Noise nz(uint32_t(i0) + 37);
    Svf f;
    f.tune(9000, 0.9f);
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        f.run(nz.next());
        float tone = std::sin(2 * float(kPi) * 3520 * t + 1.7f * std::sin(2 * float(kPi) * 5190 * t));
        float v = (0.25f * tone * std::exp(-t * 6) + 0.6f * f.hp * std::exp(-t * 4)) * std::min(1.f, t * 3000);
        m.put(i0 + i, v * gain, pan, 0, 0.15f);
    }
}

// Crash cymbal: long, bright noise that opens a section.
void crash(Mixer& m, double t0, float gain) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t(2.5 * kRate);
    Noise nl(uint32_t(i0) + 17), nr(uint32_t(i0) + 19);
    Svf fl, fr;
    fl.tune(5000, 0.8f), fr.tune(5200, 0.8f);
    for (size_t i = 0; i < len; ++i) {
        float e = std::exp(-float(i) / kRate * 1.8f) * gain;
        fl.run(nl.next()), fr.run(nr.next());
        m.put(i0 + i, fl.hp * e, -0.6f, 0, 0.3f);
        m.put(i0 + i, fr.hp * e, 0.6f, 0, 0.3f);
    }
}

// Riser: noise through a band-pass swept up over `length` seconds, growing.
void riser(Mixer& m, double t0, double length, float gain) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t(length * kRate);
    Noise nl(uint32_t(i0) + 41), nr(uint32_t(i0) + 43);
    Svf fl, fr;
    for (size_t i = 0; i < len; ++i) {
        float x = float(i) / len;
        if (i % 32 == 0) fl.tune(500 * std::pow(20.f, x), 2.5f), fr.tune(540 * std::pow(20.f, x), 2.5f);
        fl.run(nl.next()), fr.run(nr.next());
        float e = gain * x * x * std::min(1.f, float(len - i) / (0.02f * kRate));
        m.put(i0 + i, fl.bp * e, -0.5f, 0.2f, 0.4f);
        m.put(i0 + i, fr.bp * e, 0.5f, 0.2f, 0.4f);
    }
}

// Bass: two detuned saws through a resonant low-pass with a plucked filter
// envelope and a sine at the fundamental, into the low bus.
void bass(Mixer& m, double t0, float note, float hold, float gain, float bright) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t((hold + 0.12f) * kRate);
    float f = hz(note), dt = f / kRate;
    float p1 = 0, p2 = 0.5f;
    Svf flt;
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        if (i % 16 == 0) flt.tune(f * (2.5f + bright * 16 * std::exp(-t * 8)), 1.5f);
        float s1 = 2 * p1 - 1 - polyBlep(p1, dt), s2 = 2 * p2 - 1 - polyBlep(p2, dt * 1.004f);
        p1 += dt, p2 += dt * 1.004f;
        p1 -= std::floor(p1), p2 -= std::floor(p2);
        flt.run(0.5f * (s1 + s2));
        float sub = std::cos(2 * float(kPi) * f * t) * 0.25f;
        float v = (flt.lp + sub) * adsr(t, hold, 0.004f, 0.15f, 0.7f, 0.08f);
        m.put(i0 + i, v * gain, 0, 0, 0.02f, true);
    }
}

// Pad: three detuned saws per side through a slow low-pass, soft attack.
void pad(Mixer& m, double t0, float note, float hold, float gain, float cutoff, float attack, float release = 1.1f) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t((hold + release + 0.1f) * kRate);
    float f = hz(note);
    const float det[3] = {-0.006f, 0.f, 0.0065f};
    float pl[3] = {0.1f, 0.4f, 0.7f}, pr[3] = {0.3f, 0.9f, 0.55f};
    Svf fl, fr;
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        if (i % 32 == 0) {
            float c = cutoff * (1 + 0.25f * std::sin(t * 0.9f));
            fl.tune(c, 0.9f), fr.tune(c * 1.05f, 0.9f);
        }
        float sl = 0, sr = 0;
        for (int k = 0; k < 3; ++k) {
            float dl = f * (1 + det[k]) / kRate, dr = f * (1 - det[k]) / kRate;
            sl += 2 * pl[k] - 1 - polyBlep(pl[k], dl);
            sr += 2 * pr[k] - 1 - polyBlep(pr[k], dr);
            pl[k] += dl, pr[k] += dr;
            pl[k] -= std::floor(pl[k]), pr[k] -= std::floor(pr[k]);
        }
        fl.run(sl / 3), fr.run(sr / 3);
        float e = adsr(t, hold, attack, 0.5f, 0.8f, release) * gain;
        m.put(i0 + i, fl.lp * e, -0.7f, 0, 0.5f);
        m.put(i0 + i, fr.lp * e, 0.7f, 0, 0.5f);
    }
}

// Lead: a pulse wave with delayed vibrato and a bright filter, sent to the echo.
void lead(Mixer& m, double t0, float note, float hold, float gain, float pan) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t((hold + 0.3f) * kRate);
    float f0 = hz(note), ph = 0;
    Svf flt;
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        float vib = 1 + 0.006f * std::sin(2 * float(kPi) * 5.5f * t) * std::min(1.f, std::max(0.f, t - 0.15f) * 4);
        float dt = f0 * vib / kRate;
        float saw1 = 2 * ph - 1 - polyBlep(ph, dt);
        float ph2 = ph + 0.3f - std::floor(ph + 0.3f);
        float saw2 = 2 * ph2 - 1 - polyBlep(ph2, dt);
        ph += dt, ph -= std::floor(ph);
        if (i % 16 == 0) flt.tune(std::min(12000.f, f0 * (6 + 8 * std::exp(-t * 5))), 1.1f);
        flt.run(0.5f * (saw1 - saw2));
        float v = flt.lp * adsr(t, hold, 0.01f, 0.2f, 0.75f, 0.18f);
        m.put(i0 + i, v * gain, pan, 0.35f, 0.25f);
    }
}

// Pluck: a Karplus-Strong string.
void pluck(Mixer& m, double t0, float note, float gain, float pan) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t(1.2 * kRate);
    size_t period = std::max<size_t>(2, size_t(kRate / hz(note)));
    std::vector<float> line(period);
    Noise nz(uint32_t(i0) + uint32_t(note * 31));
    float lp = 0;
    for (auto& v : line) lp = 0.3f * lp + 0.7f * nz.next(), v = lp;
    float prev = 0;
    for (size_t i = 0; i < len; ++i) {
        float& cur = line[i % period];
        float out = cur;
        cur = 0.996f * (0.6f * cur + 0.4f * prev);
        prev = out;
        m.put(i0 + i, out * gain * (1 - float(i) / len), pan, 0.25f, 0.3f);
    }
}

// Bell: two-operator FM with a decaying index, the music box and the chimes.
void bell(Mixer& m, double t0, float note, float gain, float pan, float length = 1.8f) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t(length * kRate);
    float f = hz(note);
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        float index = 2.2f * std::exp(-t * 3);
        float mod = std::sin(2 * float(kPi) * f * 3.5f * t) * index;
        float v = std::sin(2 * float(kPi) * f * t + mod) * std::exp(-t * 2.2f) * std::min(1.f, t * 400);
        m.put(i0 + i, v * gain, pan, 0.2f, 0.45f);
    }
}

// Choir: stacked saws with vibrato through three vowel-like band-passes.
void choir(Mixer& m, double t0, float note, float hold, float gain, float pan) {
    if (t0 >= m.until - 1e-4) return;
    size_t i0 = frameAt(t0), len = size_t((hold + 1.5f) * kRate);
    float f = hz(note);
    Svf f1, f2, f3;
    f1.tune(700, 3), f2.tune(1150, 4), f3.tune(2900, 4);
    float ph[4] = {0, 0.2f, 0.5f, 0.7f};
    const float det[4] = {-0.004f, 0.002f, 0.005f, -0.0015f};
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        float s = 0;
        for (int k = 0; k < 4; ++k) {
            float vib = 1 + 0.004f * std::sin(2 * float(kPi) * (4.8f + k * 0.3f) * t + k);
            ph[k] += f * (1 + det[k]) * vib / kRate;
            ph[k] -= std::floor(ph[k]);
            s += 2 * ph[k] - 1;  // rich source for the formants to shape
        }
        f1.run(s * 0.25f), f2.run(s * 0.25f), f3.run(s * 0.25f);
        float v = (f1.bp + 0.6f * f2.bp + 0.5f * f3.bp) * adsr(t, hold, 0.6f, 0.5f, 0.85f, 1.4f);
        m.put(i0 + i, v * gain, pan, 0, 0.6f);
    }
}

// ---------------------------------------------------------------- harmony and melody

struct Key {
    int root;  // MIDI note of the tonic
    bool minor;
};

// MIDI note of a scale degree (any integer; 7 is the octave).
float degreeNote(const Key& k, int degree) {
    static const int majorSteps[7] = {0, 2, 4, 5, 7, 9, 11}, minorSteps[7] = {0, 2, 3, 5, 7, 8, 10};
    int oct = degree >= 0 ? degree / 7 : -((-degree + 6) / 7);
    int d = degree - oct * 7;
    return float(k.root + 12 * oct + (k.minor ? minorSteps[d] : majorSteps[d]));
}

// One section of the arrangement: its key, chords, instruments, loudness and form.
struct Section {
    Key key;
    int chords[8];   // scale degree of each bar's chord: an eight-bar progression, repeating
    int drums;       // 0 none, 1 hats only, 2 four to the floor, 3 broken beat, 4 half time
    int bassStyle;   // 0 none, 1 driving eighths, 2 syncopated, 3 long notes
    int arp;         // 0 none, 1 plucked sixteenths, 2 music-box eighths
    float padGain, bassGain, arpGain, leadGain, bellGain, choirGain, drumGain;
    float padCutoff;
    int melodySeed;
    float master;  // overall loudness of the section
    // What each bar does, one letter a bar (spread evenly over the bars if the
    // section's length ever differs from the letters'):
    //   1 sparse: pad and arpeggio only      2 light: hats, long bass notes, the tune
    //   3 groove: the section's drums and bass, tune on motifs A and B
    //   4 variant: other drum and bass patterns, tune on motifs B and C, a counter-line
    //   5 peak: as 4, the lead an octave up, motif C first, a ride and more choir
    //   d breakdown: no kick or bass, the tune on bells     u build: a snare roll and a riser
    //   r release: thinning out and quieter
    // The finale's bars from the closing logo on are its closing chord.
    const char* form;
    int liftBar;  // from this bar of the form on, the key is a whole tone higher (-1: never)
};

// The scenes' sections, in show order (their starts are trackSections).
const Section sections[8] = {
    // intro: the ball and the letter cards; music box over a pad, building, rolling into the flight
    {{62, true}, {0, 5, 2, 6, 0, 5, 3, 4}, 1, 3, 2, 0.3f, 0.3f, 0.24f, 0, 0.16f, 0, 0.3f, 1400, 1, 0.6f, "11112222333u", -1},
    // flight over the valley: full drive, a second theme, a short breakdown and a build to a peak
    {{62, true}, {0, 5, 2, 6, 0, 3, 5, 4}, 2, 1, 1, 0.2f, 0.36f, 0.16f, 0.26f, 0, 0, 0.85f, 2600, 2, 1.0f,
     "33333333444444dduu5555", -1},
    // the driven strings: broken beat, plucks, new key
    {{67, true}, {0, 3, 6, 4, 5, 3, 6, 4}, 3, 2, 1, 0.18f, 0.36f, 0.22f, 0.2f, 0.1f, 0, 0.75f, 2200, 3, 0.75f,
     "33334444ddu555", -1},
    // the hanging bauble: airy, chimes and choir over soft hats, no kick
    {{63, false}, {0, 5, 3, 4, 0, 2, 3, 4}, 1, 3, 2, 0.26f, 0.22f, 0.22f, 0, 0.2f, 0.16f, 0.3f, 1500, 4, 0.55f,
     "22233334444", -1},
    // the first single bauble: half time, deep bass, singing lead
    {{60, true}, {0, 5, 3, 4, 5, 3, 1, 4}, 4, 2, 0, 0.24f, 0.4f, 0.14f, 0.24f, 0.08f, 0, 0.8f, 2000, 5, 0.8f,
     "33334444455dduu", -1},
    // the second single bauble: the climax
    {{69, true}, {0, 5, 2, 6, 3, 5, 6, 4}, 2, 1, 1, 0.2f, 0.36f, 0.16f, 0.25f, 0.08f, 0, 0.9f, 3000, 6, 1.0f,
     "333344445555555dduu555555", -1},
    // the closing pictures: a slow carol with choir and bells, rolling into the finale
    {{65, false}, {0, 3, 4, 0, 5, 3, 4, 0}, 0, 3, 0, 0.24f, 0.2f, 0, 0, 0.22f, 0.28f, 0, 1400, 7, 0.6f, "222333344u", -1},
    // the finale: bright major, a build, a peak a tone higher, a release into the last chord
    {{62, false}, {0, 4, 5, 3, 0, 4, 3, 4}, 2, 1, 1, 0.2f, 0.36f, 0.16f, 0.25f, 0.1f, 0, 0.85f, 2800, 8, 0.95f,
     "222233334444uuuu555555554444ddddrrrrrrrr", 16},
};

// One note of a melody, on the sixteenth grid of a two-bar phrase.
struct MelodyNote {
    int step;    // 0..31
    int length;  // in sixteenths
    int degree;  // scale degree relative to the key's tonic
};

// A two-bar motif: a rhythm of onsets and a stepwise walk over the scale that
// leans on chord tones at the beats.
std::vector<MelodyNote> makeMotif(uint32_t seed, bool slow) {
    Noise rnd(seed);
    auto unit = [&] { return 0.5f + 0.5f * rnd.next(); };
    std::vector<MelodyNote> notes;
    int step = 0, degree = 4 + int(unit() * 3);
    while (step < 28) {
        static const int fastLengths[6] = {2, 2, 2, 4, 3, 1}, slowLengths[4] = {4, 4, 8, 6};
        int len = slow ? slowLengths[int(unit() * 4) % 4] : fastLengths[int(unit() * 6) % 6];
        if (step % 4 == 3 && len == 1) len = 2;
        if (step + len > 28) len = 28 - step;
        notes.push_back({step, len, degree});
        int move = int(std::lround((unit() - 0.5f) * 4.4f));
        if (unit() < 0.15f) move = move > 0 ? 4 : -3;  // an occasional leap
        degree = std::clamp(degree + move, 0, 11);
        step += len;
        if (unit() < 0.12f) step += 2;  // a breath
    }
    notes.push_back({28, 4, 0});  // the phrase falls home
    return notes;
}

// Snaps a degree on a strong beat to the nearest tone of the bar's chord.
int toChordTone(int degree, int chordRoot) {
    int best = degree, bestDist = 99;
    for (int d = degree - 3; d <= degree + 3; ++d) {
        int rel = ((d - chordRoot) % 7 + 7) % 7;
        if ((rel == 0 || rel == 2 || rel == 4) && std::abs(d - degree) < bestDist) best = d, bestDist = std::abs(d - degree);
    }
    return best;
}

// Where a section's bars fall on the one tempo.
struct Placing {
    double start;     // the scene's first second: where the section is first heard
    double downbeat;  // its first bar line: later than start for a pickup or a push
    double next;      // the next section's start: nothing of this one begins there or later
    int bars;         // whole bars from the downbeat
    double tail;      // a short bar after them (seconds): a fill that ends on the next start
    bool pushed;      // its first chord comes an eighth (or less) ahead of its first bar line
};

// Lays the sections on the grid. The first is counted back from the second's
// start, so what is left over is a pickup before its first bar. Each later
// section starts on a bar line of its own, unless it begins just before one of
// the previous section's (by up to an eighth and 50 ms): then its first chord
// is pushed ahead of that bar line and the bars go on unbroken. What does not
// fill a whole bar before the next section's first bar line is a short bar.
std::vector<Placing> layOut(const std::vector<double>& starts) {
    const size_t n = starts.size() - 1;
    std::vector<Placing> placed(n);
    for (size_t i = 0; i < n; ++i) placed[i] = {starts[i], starts[i], starts[i + 1], 0, 0, false};
    for (size_t i = 2; i < n; ++i) {
        const double prev = placed[i - 1].downbeat;
        const double line = prev + std::ceil((starts[i] - prev) / kBar - 1e-9) * kBar;
        if (line - starts[i] > 0.05 && line - starts[i] <= kBeat / 2 + 0.05) placed[i].downbeat = line, placed[i].pushed = true;
    }
    if (n > 1) placed[0].downbeat = starts[1] - std::floor((starts[1] - starts[0]) / kBar + 1e-9) * kBar;
    for (size_t i = 0; i < n; ++i) {
        const double to = i + 1 < n ? placed[i + 1].downbeat : starts[n];
        placed[i].bars = std::max(0, int(std::floor((to - placed[i].downbeat) / kBar + 1e-6)));
        placed[i].tail = std::max(0.0, to - placed[i].downbeat - placed[i].bars * kBar);
    }
    return placed;
}

// How loud each kind of bar is, `progress` (0..1] through its run of bars.
float roleGain(char role, float progress) {
    switch (role) {
        case '1': return 0.6f;
        case '2': return 0.78f;
        case 'd': return 0.74f;
        case 'u': return 0.78f + 0.22f * progress;
        case '5': return 1.08f;
        case 'r': return 0.8f - 0.3f * progress;
        case 'E': return 0.8f;
        default: return 1.f;
    }
}

// The letter of the form bar b plays: ' ' before the first bar and after the
// show's last, '>' after a section's last bar (the next section follows). The
// show's last chord comes with its closing logo: from the first bar line there
// the finale holds it.
char roleAt(const Section& s, const Placing& sp, int b, bool last) {
    if (b < 0) return ' ';
    if (b >= sp.bars) return last ? ' ' : '>';
    if (last && sp.downbeat + b * kBar >= kClosingLogoFrom / 1000.0 - 0.05) return 'E';
    const int letters = int(std::char_traits<char>::length(s.form));
    return s.form[sp.bars == letters ? b : std::min(letters - 1, b * letters / sp.bars)];
}

// One bar of a section, as its parts play it.
struct Bar {
    const Section& s;
    const Placing& sp;
    int b;                // its number in the section
    char role, prev, next;  // its letter of the form, and those of the bars either side
    int runStart, runEnd;   // the run of bars with the same letter it is in
    float progress;         // how far through that run it ends, (0..1]
    Key key;
    double start, end;  // when it is heard, and when the next bar (or section) takes over
    float gain;
    int chord;
    bool variant;  // a variant or peak bar
    // The time of a step (sixteenth) of the bar; a pushed section's first chord is heard at its start.
    double at(double step) const { return (sp.pushed && b == 0 && step == 0) ? sp.start : sp.downbeat + b * kBar + step * kStep; }
};

Bar barOf(const Section& s, const Placing& sp, int b, bool last) {
    const char r = roleAt(s, sp, b, last);
    int runStart = b, runEnd = b;
    while (runStart > 0 && roleAt(s, sp, runStart - 1, last) == r) --runStart;
    while (runEnd + 1 < sp.bars && roleAt(s, sp, runEnd + 1, last) == r) ++runEnd;
    const float progress = float(b - runStart + 1) / float(runEnd - runStart + 1);
    const int letters = int(std::char_traits<char>::length(s.form));
    const bool lifted = s.liftBar >= 0 && (sp.bars == letters ? b : b * letters / sp.bars) >= s.liftBar;
    Bar bar{s, sp, b, r, roleAt(s, sp, b - 1, last), roleAt(s, sp, b + 1, last), runStart, runEnd, progress,
            Key{s.key.root + (lifted ? 2 : 0), s.key.minor}, 0, 0, s.master * roleGain(r, progress), s.chords[b % 8],
            r == '4' || r == '5'};
    bar.start = b == 0 ? sp.start : bar.at(0);
    bar.end = std::min(sp.next, sp.downbeat + (b + 1) * kBar + (b + 1 == sp.bars ? sp.tail : 0));
    return bar;
}

// The pickup before a first bar (the first chord swells in under the music
// box), and a calm section's opening: a chord of bells, a soft cymbal and a
// soft kick on its first moment.
void playOpening(Mixer& m, const Section& s, const Placing& sp, float& pan) {
    if (sp.downbeat - sp.start > kBeat / 2 + 0.05) {
        const int beats = int(std::floor((sp.downbeat - sp.start) / kBeat + 1e-6));
        for (int i = 0; i < beats; ++i)
            bell(m, sp.downbeat - (beats - i) * kBeat, degreeNote(s.key, 7 - beats + i) + 12, s.bellGain * s.master, pan = -pan, 1.6f);
    }
    if (s.drums < 2 && sp.start > 0) {
        kick(m, sp.start, 0.8f * s.master);
        for (int d : {0, 2, 4, 7}) bell(m, sp.start, degreeNote(s.key, s.chords[0] + d) + 12, 0.16f * s.master, d % 4 ? 0.4f : -0.4f, 2.5f);
        crash(m, sp.start, 0.35f * s.master);
    }
}

// The show's last chord: struck, held a while, then fading out to the end
// under the intro's music box.
void playClosingChord(Mixer& m, const Bar& bar) {
    const Section& s = bar.s;
    const float g = bar.gain, left = float(bar.sp.next - bar.start), hold = std::min(2.5f, 0.3f * left);
    crash(m, bar.start, 0.35f * g);
    kick(m, bar.start, 0.5f * g);
    for (int d : {0, 2, 4, 7})
        pad(m, bar.start, degreeNote(bar.key, d) - 12, hold, s.padGain * g, s.padCutoff, 0.05f, left - hold - 0.6f);
    bass(m, bar.start, degreeNote(bar.key, 0) - 24, hold, s.bassGain * g, 0.6f);
    for (int d : {0, 4, 7, 9, 11, 14})
        bell(m, bar.start + 0.08 * d / 2, degreeNote(bar.key, d) + 12, 0.2f * g, d % 2 ? 0.4f : -0.4f, 3.5f);
    // The music box of the intro comes back over the fade, a note a beat, dying away.
    static const int walk[8] = {7, 4, 2, 4, 0, 2, -3, 0};
    for (int i = 2; (i + 1) * kBeat < left; ++i)
        bell(m, bar.start + i * kBeat, degreeNote(bar.key, walk[i % 8]) + 24, 0.12f * g * (1 - float(i * kBeat) / left),
             i % 2 ? 0.5f : -0.5f, 1.6f);
}

// Pad and choir: the bar's chord, held for the bar.
void playChord(Mixer& m, const Bar& bar) {
    const Section& s = bar.s;
    const char r = bar.role;
    const int triad[3] = {bar.chord, bar.chord + 2, bar.chord + 4};
    const float hold = float(bar.end - bar.start) - 0.1f;
    const float cutoff = s.padCutoff * (r == '5' ? 1.4f : r == 'u' ? 0.5f + bar.progress : r == 'd' ? 0.8f : 1.f);
    if (s.padGain > 0)
        for (int d : triad) pad(m, bar.start, degreeNote(bar.key, d) - 12, hold, s.padGain * bar.gain, cutoff, 0.35f);
    const float choirGain = s.choirGain + (r == '5' && s.drums >= 2 ? 0.1f : 0);
    if (choirGain > 0 && r != '1')
        for (int i = 0; i < 3; ++i)
            choir(m, bar.start, degreeNote(bar.key, triad[i]), hold - 0.1f, choirGain * bar.gain, -0.5f + 0.5f * i);
}

// Bass: what the bar's role asks of the section's style. A build leaves the
// lows out, and brings them back as a growing pedal on the tonic.
void playBass(Mixer& m, const Bar& bar) {
    const Section& s = bar.s;
    const char r = bar.role;
    const float root = degreeNote(bar.key, bar.chord) - 24, bg = s.bassGain * bar.gain;
    const bool v = bar.variant;
    int style = s.bassStyle;
    if (r == '1' || r == 'd') style = 0;
    else if (r == '2' || r == 'r') style = 3;
    else if (r == 'u') style = bar.progress > 0.5f ? 4 : 0;
    auto at = [&](int st) { return bar.at(st); };
    if (style == 1 && !v)
        for (int st = 0; st < 16; st += 2) bass(m, at(st), root + (st % 8 == 6 ? 12 : 0), float(kStep * 1.6), bg * feel(at(st), 1), 0.7f);
    else if (style == 1)
        for (int st : {0, 2, 3, 6, 8, 10, 11, 14})
            bass(m, at(st), root + (st == 6 || st == 14 ? 12 : st == 11 ? 7 : 0), float(kStep * (st % 4 == 2 ? 0.8 : 1.6)),
                 bg * feel(at(st), 1), 0.8f);
    else if (style == 2 && !v)
        for (int st : {0, 3, 6, 10, 12}) bass(m, at(st), root + (st == 10 ? 7 : 0), float(kStep * (st == 12 ? 3.5 : 2.5)), bg, 0.5f);
    else if (style == 2)
        for (int st : {0, 3, 6, 8, 11, 14}) bass(m, at(st), root + (st == 11 ? 7 : st == 14 ? 12 : 0), float(kStep * 2.5), bg, 0.6f);
    else if (style == 3 && !v)
        bass(m, bar.start, root, float(bar.end - bar.start) - 0.1f, bg, 0.15f);
    else if (style == 3)
        bass(m, bar.start, root, float(kBar / 2) - 0.1f, bg, 0.25f), bass(m, at(8), root + 7, float(bar.end - at(8)) - 0.1f, bg, 0.25f);
    else if (style == 4)  // silent for the build's last eighth
        for (int st = 0; st < (bar.b == bar.runEnd ? 14 : 16); st += 2)
            bass(m, at(st), degreeNote(bar.key, 0) - 24, float(kStep * 1.5), bg * (0.6f + 0.4f * bar.progress), 0.3f + 0.6f * bar.progress);
}

// Arpeggio: plucked sixteenths or music-box eighths over the chord.
void playArpeggio(Mixer& m, const Bar& bar) {
    const Section& s = bar.s;
    if (!s.arp || bar.role == 'r') return;
    const int chord = bar.chord, triad[3] = {chord, chord + 2, chord + 4};
    const float ag = s.arpGain * bar.gain * (bar.role == 'd' ? 1.3f : 1.f);
    if (s.arp == 1) {
        static const int plain[8] = {0, 1, 2, 3, 2, 1, 0, 2}, other[8] = {0, 2, 1, 3, 0, 2, 3, 1};
        const int* order = bar.variant ? other : plain;
        for (int st = 0; st < 16; ++st) {
            int d = order[st % 8] == 3 ? chord + 7 : triad[order[st % 8]];
            pluck(m, bar.at(st), degreeNote(bar.key, d) + (bar.role == '5' ? 12 : 0),
                  ag * (st % 4 == 0 ? 1.f : 0.7f) * feel(bar.at(st), 2), st % 2 ? 0.5f : -0.5f);
        }
        return;
    }
    static const int order[8] = {0, 2, 4, 7, 4, 2, 5, 4};
    for (int st = 0; st < 16; st += bar.variant ? 1 : 2) {
        if (bar.variant && st % 2 && st % 8 != 3 && st % 8 != 7) continue;
        int d = chord + order[(st / 2 + bar.b) % 8] + (bar.variant && st % 2 ? 2 : 0);
        bell(m, bar.at(st), degreeNote(bar.key, d) + 12, ag * 0.8f, ((st / 2) % 2) ? 0.6f : -0.6f, 1.2f);
    }
}

// The tune: an eight-bar phrase of two-bar motifs (first, first a third up,
// second, first falling home), on the lead in the driving bars and on bells in
// the calm ones and the breakdowns; and a counter-line of high bells on the
// variant and peak bars.
void playMelody(Mixer& m, const Bar& bar, const std::vector<MelodyNote> (&motifs)[3], float& pan) {
    const Section& s = bar.s;
    const char r = bar.role;
    if (r != '1' && r != 'u' && !(s.leadGain > 0 && bar.b < 2 && r == '3')) {
        const int phraseBar = bar.b % 8, first = r == '4' ? 1 : r == '5' ? 2 : 0, second = (first + 1) % 3;
        const std::vector<MelodyNote>& motif = motifs[phraseBar / 2 == 2 ? second : first];
        const int transpose = (phraseBar / 2 == 1) ? 2 : 0;
        for (const MelodyNote& n : motif) {
            if (n.step / 16 != phraseBar % 2) continue;
            int d = n.degree + transpose;
            if (n.step % 4 == 0) d = toChordTone(d, bar.chord);
            if (n.step == 28) d = (phraseBar == 7) ? 7 : bar.chord + 7;  // half cadence on the chord, home at the end
            const double nt = bar.at(n.step % 16);
            const float len = float(n.length * kStep * 0.92);
            if (s.leadGain > 0 && (r == '3' || bar.variant))
                lead(m, nt, degreeNote(bar.key, d) + (r == '5' ? 12 : 0), len, s.leadGain * bar.gain * (r == '5' ? 0.8f : 1.f), 0.1f);
            else
                bell(m, nt, degreeNote(bar.key, d) + 12, (s.leadGain > 0 ? 0.6f * s.leadGain : s.bellGain) * bar.gain, pan = -pan, 2.2f);
        }
    }
    if (bar.variant)
        for (int st : {0, 6, 8, 14})
            bell(m, bar.at(st), degreeNote(bar.key, bar.chord + (st < 8 ? 4 : 2) + (st % 8 ? 1 : 0)) + 24, 0.05f * bar.gain,
                 st < 8 ? 0.5f : -0.5f, 1.0f);
}

// A build: a riser over the whole run and a snare roll that gets denser
// (quarters, eighths, sixteenths), the kick coming back halfway. It stops an
// eighth before the next bar, so what follows lands in the open.
void playBuild(Mixer& m, const Bar& bar) {
    const Section& s = bar.s;
    const float dg = s.drumGain * bar.gain, rollGain = std::max(s.drumGain, 0.5f) * bar.gain;
    const float run = float(bar.runEnd - bar.runStart + 1), done = float(bar.b - bar.runStart);
    if (bar.b == bar.runStart) riser(m, bar.at(0), run * kBar - kBeat / 2, 0.3f * bar.gain);
    for (int st = 0; st < (bar.b == bar.runEnd ? 14 : 16); ++st) {
        const float x = (done + st / 16.f) / run;  // 0..1 through the build
        const int every = x < 0.34f ? 4 : x < 0.67f ? 2 : 1;
        if (st % every == 0) snare(m, bar.at(st), (0.15f + 0.5f * x) * rollGain, 0.3f - 0.6f * x);
        if (s.drums >= 2 && st % 4 == 0 && x >= 0.5f) kick(m, bar.at(st), (0.2f + 0.6f * x) * dg);
        if (s.drums >= 1 && st % 2 == 0) hat(m, bar.at(st), 0.15f * dg, false, 0.3f);
    }
}

// One step of the section's kit in a groove bar: four to the floor, a broken
// beat or half time, with more kicks, ghost notes, a shaker and a ride in the
// variant and peak bars.
void playKitStep(Mixer& m, const Bar& bar, int st, double ts, float dg, float f) {
    const bool v = bar.variant, ride4 = bar.role == '5';
    if (ride4 && st % 4 == 0) ride(m, ts, 0.22f * dg * f, -0.4f);
    if (v && st % 2) shaker(m, ts, 0.22f * dg * f, -0.35f);
    switch (bar.s.drums) {
        case 2:
            if (st % 4 == 0 || (v && bar.b % 4 == 3 && st == 14)) kick(m, ts, 1.0f * dg * f);
            if (st == 4 || st == 12) snare(m, ts, 0.7f * dg * f);
            if (v && st == 15 && bar.b % 2) snare(m, ts, 0.2f * dg * f, -0.3f);
            if (st % 4 == 2) hat(m, ts, 0.3f * dg * f, true, 0.25f);
            else if (!ride4 || st % 2) hat(m, ts, (st % 2 ? 0.16f : 0.24f) * dg * f, false, -0.25f);
            break;
        case 3:
            if (st == 0 || st == 6 || st == 10 || (v && st == 3)) kick(m, ts, 0.95f * dg * f);
            if (st == 4 || st == 12) snare(m, ts, 0.7f * dg * f);
            if (st == 7 || st == 15 || (v && st == 9)) snare(m, ts, 0.18f * dg * f, -0.2f);
            if (st % 2 == 0 || v) hat(m, ts, (st % 2 ? 0.12f : 0.22f) * dg * f, st == 14, 0.3f);
            break;
        case 4:
            if (st == 0 || st == 10 || (v && st == 7)) kick(m, ts, 1.0f * dg * f);
            if (st == 8) snare(m, ts, 0.8f * dg * f);
            if (st % 2 == 0 || v) hat(m, ts, (st % 2 ? 0.12f : 0.2f) * dg * f, v && (st == 6 || st == 14), 0.2f);
            break;
    }
}

// Drums: a crash where a section or a new part lands, the bar's pattern, and a
// fill on the last beat before a new part or the next section. Rolls and fills
// play even where no kit does.
void playDrums(Mixer& m, const Bar& bar) {
    const Section& s = bar.s;
    const char r = bar.role;
    if (r == 'u') return playBuild(m, bar);
    const float dg = s.drumGain * bar.gain, rollGain = std::max(s.drumGain, 0.5f) * bar.gain;
    if (s.drums >= 2 && (bar.b == 0 || (r != bar.prev && (r == '5' || r == '3' || r == '4'))))
        crash(m, bar.start, (bar.b == 0 ? 0.6f : 0.45f) * dg);
    if (s.drums >= 2 && bar.b == 0 && (r == '2' || r == 'd' || r == 'r')) kick(m, bar.start, dg);  // the section lands
    const bool fill = bar.next != r && (bar.next == '5' || bar.next == 'd' || bar.next == '>') && bar.sp.tail < kBeat && s.drums >= 1;
    for (int st = 0; st < 16; ++st) {
        const double ts = bar.at(st);
        const float f = feel(ts, 3);
        if (fill && st >= 12) {
            snare(m, ts, (0.3f + 0.12f * (st - 12)) * rollGain * f, 0.3f - 0.15f * (st - 12));
            if (st == 12 && s.drums >= 2) kick(m, ts, dg);
        } else if (r == '1' || s.drums == 0) {
        } else if (r == 'd') {  // hats and a shaker only
            if (st % 4 == 2) hat(m, ts, 0.2f * dg * f, false, 0.3f);
            if (st % 2) shaker(m, ts, 0.16f * dg * f, -0.3f);
        } else if (r == 'r') {  // a hat on the beat, for the first half of the release
            if (st % 4 == 0 && bar.progress <= 0.5f) hat(m, ts, 0.18f * dg * f, false, 0.3f);
        } else if (r == '2' || s.drums == 1) {  // hats, with a shaker and an open hat in the variant
            if (st % 2 == 0) hat(m, ts, (st % 4 == 0 ? 0.26f : 0.18f) * dg * f, false, 0.3f);
            if (bar.variant && st % 2) shaker(m, ts, 0.2f * dg * f, -0.35f);
            if (bar.variant && st == 14) hat(m, ts, 0.2f * dg, true, 0.3f);
        } else {
            playKitStep(m, bar, st, ts, dg, f);
        }
    }
}

// The short bar: a kick and a snare run over a turn of the bass to the
// dominant, all stopping a sixteenth before the next section lands.
void playShortBar(Mixer& m, const Section& s, const Placing& sp) {
    if (sp.tail < kStep) return;
    const double t = sp.downbeat + sp.bars * kBar;
    const int steps = int(std::lround(sp.tail / kStep));
    const float g = s.master, dg = std::max(s.drumGain, 0.5f) * g;
    if (s.drums >= 2) kick(m, t, s.drumGain * g);
    for (int st = 0; st + 1 < steps; ++st) snare(m, t + st * kStep, (0.3f + 0.5f * st / steps) * dg, 0.3f - 0.6f * st / steps);
    if (s.bassStyle) bass(m, t, degreeNote(s.key, 4) - 24, float(sp.tail - kStep) - 0.05f, s.bassGain * g, 0.6f);
}

// Renders one section's parts where it is placed; `last` ends the show.
void renderSection(Mixer& m, const Section& s, const Placing& sp, bool last) {
    const bool slow = s.leadGain == 0;
    const std::vector<MelodyNote> motifs[3] = {makeMotif(uint32_t(s.melodySeed * 977 + 1), slow),
                                               makeMotif(uint32_t(s.melodySeed * 977 + 2), slow),
                                               makeMotif(uint32_t(s.melodySeed * 977 + 3), slow)};
    float pan = -0.3f;
    playOpening(m, s, sp, pan);
    for (int b = 0; b < sp.bars; ++b) {
        const Bar bar = barOf(s, sp, b, last);
        if (bar.role == 'E') {
            if (bar.prev != 'E') playClosingChord(m, bar);
            continue;
        }
        playChord(m, bar);
        playBass(m, bar);
        playArpeggio(m, bar);
        playMelody(m, bar, motifs, pan);
        playDrums(m, bar);
    }
    playShortBar(m, s, sp);
}

// ---------------------------------------------------------------- effects and master

// Ping-pong echo of the echo bus into the dry and reverb buses.
void runEcho(Mixer& m, double delaySeconds, float feedback) {
    size_t d = frameAt(delaySeconds);
    std::vector<float> bl(d, 0), br(d, 0);
    for (size_t i = 0; i < m.n; ++i) {
        size_t j = i % d;
        float ol = bl[j], orr = br[j];
        bl[j] = m.echo.l[i] + orr * feedback;  // cross-feed: the echo bounces side to side
        br[j] = m.echo.r[i] + ol * feedback;
        m.dry.l[i] += ol * 0.5f, m.dry.r[i] += orr * 0.5f;
        m.verb.l[i] += ol * 0.2f, m.verb.r[i] += orr * 0.2f;
    }
}

// A comb filter with damping, as in the classic Schroeder/Moorer reverb.
struct Comb {
    std::vector<float> buf;
    size_t pos = 0;
    float store = 0;
    explicit Comb(size_t n) : buf(n, 0) {}
    float run(float x, float fb, float damp) {
        float out = buf[pos];
        store = out * (1 - damp) + store * damp;
        buf[pos] = x + store * fb;
        pos = (pos + 1) % buf.size();
        return out;
    }
};
struct Allpass {
    std::vector<float> buf;
    size_t pos = 0;
    explicit Allpass(size_t n) : buf(n, 0) {}
    float run(float x) {
        float b = buf[pos];
        buf[pos] = x + b * 0.5f;
        pos = (pos + 1) % buf.size();
        return b - x;
    }
};

// Reverb of the reverb bus added into the dry bus.
void runReverb(Mixer& m) {
    const size_t combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617}, aps[4] = {556, 441, 341, 225};
    for (int side = 0; side < 2; ++side) {
        std::vector<Comb> cs;
        std::vector<Allpass> as;
        for (size_t c : combs) cs.emplace_back(c + side * 23);
        for (size_t a : aps) as.emplace_back(a + side * 23);
        std::vector<float>& in = side ? m.verb.r : m.verb.l;
        std::vector<float>& out = side ? m.dry.r : m.dry.l;
        for (size_t i = 0; i < m.n; ++i) {
            float x = in[i] * 0.015f, y = 0;
            for (Comb& c : cs) y += c.run(x, 0.84f, 0.25f);
            for (Allpass& a : as) y = a.run(y);
            out[i] += y * 1.0f;
        }
    }
}

// Integrated loudness in LUFS (ITU-R BS.1770-4: K-weighting, 400 ms blocks
// every 100 ms, the -70 LUFS absolute and the -10 LU relative gate) of
// `gain[i] * scale * channel[i]`; an empty gain means 1.
double integratedLoudness(const std::vector<float>* ch, const std::vector<float>& gain, double scale) {
    const size_t n = ch[0].size(), hop = kRate / 10;
    std::vector<double> chunks(n / hop, 0.0);
    for (int c = 0; c < 2; ++c) {
        // The K-weighting's shelf and high-pass, derived for this rate as libebur128 does.
        Biquad shelf, hp;
        double f0 = 1681.974450955533, q = 0.7071752369554196, kk = std::tan(kPi * f0 / kRate);
        double vh = std::pow(10.0, 3.999843853973347 / 20), vb = std::pow(vh, 0.4996667741545416), a0 = 1 + kk / q + kk * kk;
        shelf.b0 = (vh + vb * kk / q + kk * kk) / a0, shelf.b1 = 2 * (kk * kk - vh) / a0, shelf.b2 = (vh - vb * kk / q + kk * kk) / a0;
        shelf.a1 = 2 * (kk * kk - 1) / a0, shelf.a2 = (1 - kk / q + kk * kk) / a0;
        f0 = 38.13547087602444, q = 0.5003270373238773, kk = std::tan(kPi * f0 / kRate), a0 = 1 + kk / q + kk * kk;
        hp.b0 = 1, hp.b1 = -2, hp.b2 = 1, hp.a1 = 2 * (kk * kk - 1) / a0, hp.a2 = (1 - kk / q + kk * kk) / a0;
        for (size_t i = 0; i < chunks.size() * hop; ++i) {
            double y = hp.run(shelf.run(ch[c][i] * scale * (gain.empty() ? 1.0 : gain[i])));
            chunks[i / hop] += y * y;
        }
    }
    std::vector<double> blocks;
    for (size_t j = 3; j < chunks.size(); ++j) blocks.push_back((chunks[j - 3] + chunks[j - 2] + chunks[j - 1] + chunks[j]) / (4.0 * hop));
    auto lufs = [](double z) { return -0.691 + 10 * std::log10(std::max(z, 1e-30)); };
    auto gatedMean = [&](double gate) {
        double sum = 0;
        size_t count = 0;
        for (double z : blocks)
            if (lufs(z) > gate) sum += z, ++count;
        return count ? sum / double(count) : 0.0;
    };
    const double relative = lufs(gatedMean(-70)) - 10;
    return lufs(gatedMean(std::max(-70.0, relative)));
}

// The true peak at each frame: the larger of the two channels' samples and of
// three points between each sample and the one before it, interpolated by a
// windowed sinc (four times oversampling, as BS.1770's true-peak meter does).
std::vector<float> truePeaks(const std::vector<float>* ch) {
    constexpr int kHalf = 8;
    float taps[3][2 * kHalf];
    for (int p = 1; p <= 3; ++p)
        for (int j = -kHalf + 1; j <= kHalf; ++j) {
            // The point p/4 after sample i-1, from samples i-1+j.
            double x = p / 4.0 - j, sinc = std::fabs(x) < 1e-9 ? 1 : std::sin(kPi * x) / (kPi * x);
            double w = 0.5 + 0.5 * std::cos(kPi * x / (kHalf + 0.5));
            taps[p - 1][j + kHalf - 1] = float(sinc * w);
        }
    const size_t n = ch[0].size();
    std::vector<float> peak(n, 0.f);
    for (int c = 0; c < 2; ++c) {
        const std::vector<float>& x = ch[c];
        for (size_t i = 0; i < n; ++i) {
            float v = std::fabs(x[i]);
            if (i >= kHalf && i + kHalf < n) {
                for (int p = 0; p < 3; ++p) {
                    float s = 0;
                    for (int j = 0; j < 2 * kHalf; ++j) s += x[i - kHalf + j] * taps[p][j];
                    v = std::max(v, std::fabs(s));
                }
            }
            peak[i] = std::max(peak[i], v);
        }
    }
    return peak;
}

// A look-ahead limiter's gain for the signal `scale * x`, whose true peaks are
// `peak`: the gain each frame needs to stay under `ceiling`, its minimum over
// 3 ms either side averaged over the same window (so the gain is down when the
// peak comes and moves smoothly), then let back up over about 120 ms.
std::vector<float> limiterGain(const std::vector<float>& peak, double scale, double ceiling) {
    const size_t n = peak.size(), w = size_t(0.003 * kRate);
    std::vector<float> need(n), low(n), gain(n);
    for (size_t i = 0; i < n; ++i) need[i] = float(std::min(1.0, ceiling / std::max(1e-9, scale * peak[i])));
    std::deque<size_t> window;  // indices of rising need: the window's minimum at the front
    for (size_t i = 0; i < n + w; ++i) {
        if (i < n) {
            while (!window.empty() && need[window.back()] >= need[i]) window.pop_back();
            window.push_back(i);
        }
        if (i < w) continue;
        const size_t centre = i - w;
        while (window.front() + w < centre) window.pop_front();
        low[centre] = need[window.front()];
    }
    std::vector<double> sum(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i) sum[i + 1] = sum[i] + low[i];
    const double release = 1 - std::exp(-1.0 / (0.12 * kRate));
    double g = 1;
    for (size_t i = 0; i < n; ++i) {
        const size_t a = i >= w ? i - w : 0, b = std::min(n, i + w + 1);
        const double smooth = (sum[b] - sum[a]) / double(b - a);
        g = std::min(smooth, g + (1 - g) * release);
        gain[i] = float(g);
    }
    return gain;
}

// Little-endian stores for the WAV header.
void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& b, uint16_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }

// Runs a program with arguments and waits for it; returns its exit status.
int runProgram(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Arranges every section, runs the effects and the master chain, then quantises.
std::vector<short> renderTrack() {
    const double length = trackSections.back();
    const size_t frames = frameAt(length);
    std::vector<float> out[2];
    {
        const std::vector<Placing> placed = layOut(trackSections);
        Mixer m(frames + 1);
        for (size_t s = 0; s < placed.size(); ++s) {
            m.until = placed[s].next;
            renderSection(m, sections[s], placed[s], s + 1 == placed.size());
        }
        runEcho(m, 3 * kStep, 0.38f);  // a dotted eighth
        runReverb(m);
        // Everything but kick and bass through a 120 Hz high-pass and a lift of
        // about 3 dB above 3 kHz; then the whole through a 20 Hz high-pass,
        // which also leaves no offset, and a 16 kHz low-pass: the encoder drops
        // what is above, so the loudness and the peaks are measured on what stays.
        for (int c = 0; c < 2; ++c) {
            const std::vector<float>& dry = c ? m.dry.r : m.dry.l;
            const std::vector<float>& low = c ? m.low.r : m.low.l;
            Biquad body = highPass(120), floor = highPass(20), top1 = lowPass(16000), top2 = lowPass(16000);
            Svf presence;
            presence.tune(3000, 0.7f);
            out[c].resize(frames);
            for (size_t i = 0; i < frames; ++i) {
                const float d = float(body.run(dry[i]));
                presence.run(d);
                const float fade = std::min(1.f, float(length - double(i) / kRate) / 0.05f);  // no click at the very end
                out[c][i] = float(top2.run(top1.run(floor.run(d + 0.4f * presence.hp + low[i])))) * fade;
            }
        }
    }
    // Loudness to the target under the true-peak ceiling: the limiter takes
    // some loudness away, so the gain is found again after it a few times.
    const std::vector<float> peak = truePeaks(out);
    const double ceiling = std::pow(10.0, kCeilingDbtp / 20);
    double scale = std::pow(10.0, (kTargetLufs - integratedLoudness(out, {}, 1.0)) / 20);
    std::vector<float> gain;
    for (int pass = 0; pass < 4; ++pass) {
        gain = limiterGain(peak, scale, ceiling);
        scale *= std::pow(10.0, (kTargetLufs - integratedLoudness(out, gain, scale)) / 20);
    }
    gain = limiterGain(peak, scale, ceiling);
    std::vector<short> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c)
            pcm[2 * i + c] = short(std::clamp(std::lround(out[c][i] * scale * gain[i] * 32767.0), -32767L, 32767L));
    return pcm;
}

// Renders, writes a temporary WAV and encodes it.
void writeTrack(const std::string& mp3Path, const std::string& lame) {
    std::vector<short> pcm = renderTrack();
    const std::string wavPath = mp3Path + ".wav", tmpMp3 = mp3Path + ".part";
    std::vector<uint8_t> head;
    const uint32_t dataBytes = uint32_t(pcm.size() * 2);
    head.insert(head.end(), {'R', 'I', 'F', 'F'});
    put32(head, 36 + dataBytes);
    head.insert(head.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(head, 16), put16(head, 1), put16(head, 2), put32(head, kRate), put32(head, kRate * 4);
    put16(head, 4), put16(head, 16);
    head.insert(head.end(), {'d', 'a', 't', 'a'});
    put32(head, dataBytes);
    FILE* f = std::fopen(wavPath.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + wavPath);
    bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
    ok = ok && std::fwrite(pcm.data(), 2, pcm.size(), f) == pcm.size();  // little-endian host
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) throw std::runtime_error("short write " + wavPath);
    // 128 kbit/s joint stereo keeps five minutes near 4.8 MB, under the show's 5.6 MB buffer.
    int rc = runProgram({lame, "--quiet", "--nohist", "-m", "j", "-b", "128", "--cbr", "-q", "5", wavPath, tmpMp3});
    std::remove(wavPath.c_str());
    if (rc != 0) {
        std::remove(tmpMp3.c_str());
        throw std::runtime_error("lame failed with status " + std::to_string(rc));
    }
    if (std::rename(tmpMp3.c_str(), mp3Path.c_str()) != 0) throw std::runtime_error("cannot rename to " + mp3Path);
}
