// music.cpp - the track's synthesiser and arranger. Each scene of the show has a
// section of its own (key, tempo, instruments, loudness), starting exactly at
// the scene's first second: bars are stretched per section so that a whole
// number of them fills it. Voices are rendered note by note into a dry bus and
// two send buses (echo, reverb), mixed, limited and written as 16-bit PCM.
#include "music.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

struct Bus {
    std::vector<float> l, r;
    explicit Bus(size_t n = 0) : l(n, 0.f), r(n, 0.f) {}
};

// The three buses every voice writes into.
struct Mixer {
    Bus dry, echo, verb;
    size_t n;
    explicit Mixer(size_t frames) : dry(frames), echo(frames), verb(frames), n(frames) {}
    // Adds one sample panned (-1 left .. 1 right) with send levels.
    void put(size_t i, float v, float pan, float echoSend, float verbSend) {
        if (i >= n) return;
        float gl = std::sqrt(0.5f * (1 - pan)), gr = std::sqrt(0.5f * (1 + pan));
        dry.l[i] += v * gl, dry.r[i] += v * gr;
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

// ---------------------------------------------------------------- voices

// Kick drum: a sine swept down from 160 Hz with a click.
void kick(Mixer& m, double t0, float gain) {
    size_t i0 = frameAt(t0), len = size_t(0.5 * kRate);
    float phase = 0;
    Noise nz{uint32_t(i0)};
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        float f = 44 + 120 * std::exp(-t * 28);
        phase += 2 * float(kPi) * f / kRate;
        float v = std::sin(phase) * std::exp(-t * 6.5f) + (i < 60 ? nz.next() * 0.25f * (1 - i / 60.f) : 0);
        m.put(i0 + i, v * gain, 0, 0, 0.03f);
    }
}

// Snare: a short tone and a band of noise.
void snare(Mixer& m, double t0, float gain, float pan = 0.05f) {
    size_t i0 = frameAt(t0), len = size_t(0.3 * kRate);
    Noise nz(uint32_t(i0) + 7);
    Svf f;
    f.tune(3500, 0.7f);
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        f.run(nz.next());
        float v = 0.5f * std::sin(2 * float(kPi) * 185 * t) * std::exp(-t * 30) + 0.8f * f.bp * std::exp(-t * 16);
        m.put(i0 + i, v * gain, pan, 0, 0.25f);
    }
}

// Hi-hat: high-passed noise, closed or open.
void hat(Mixer& m, double t0, float gain, bool open, float pan) {
    size_t i0 = frameAt(t0), len = size_t((open ? 0.35 : 0.06) * kRate);
    Noise nz(uint32_t(i0) + 13);
    Svf f;
    f.tune(8000, 1.2f);
    float decay = open ? 9.f : 70.f;
    for (size_t i = 0; i < len; ++i) {
        f.run(nz.next());
        float v = f.hp * std::exp(-float(i) / kRate * decay);
        m.put(i0 + i, v * gain, pan, 0, 0.1f);
    }
}

// Crash cymbal: long, bright noise that opens a section.
void crash(Mixer& m, double t0, float gain) {
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

// Bass: two detuned saws through a resonant low-pass with a plucked filter envelope.
void bass(Mixer& m, double t0, float note, float hold, float gain, float bright) {
    size_t i0 = frameAt(t0), len = size_t((hold + 0.12f) * kRate);
    float f = hz(note), dt = f / kRate;
    float p1 = 0, p2 = 0.5f;
    Svf flt;
    for (size_t i = 0; i < len; ++i) {
        float t = float(i) / kRate;
        if (i % 16 == 0) flt.tune(f * (1.5f + bright * 14 * std::exp(-t * 9)), 1.6f);
        float s1 = 2 * p1 - 1 - polyBlep(p1, dt), s2 = 2 * p2 - 1 - polyBlep(p2, dt * 1.004f);
        p1 += dt, p2 += dt * 1.004f;
        p1 -= std::floor(p1), p2 -= std::floor(p2);
        flt.run(0.5f * (s1 + s2));
        float sub = std::sin(2 * float(kPi) * f * 0.5f * t) * 0.5f;
        float v = (flt.lp + sub) * adsr(t, hold, 0.005f, 0.15f, 0.7f, 0.08f);
        m.put(i0 + i, v * gain, 0, 0, 0.02f);
    }
}

// Pad: three detuned saws per side through a slow low-pass, soft attack.
void pad(Mixer& m, double t0, float note, float hold, float gain, float cutoff, float attack) {
    size_t i0 = frameAt(t0), len = size_t((hold + 1.2f) * kRate);
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
        float e = adsr(t, hold, attack, 0.5f, 0.8f, 1.1f) * gain;
        m.put(i0 + i, fl.lp * e, -0.7f, 0, 0.5f);
        m.put(i0 + i, fr.lp * e, 0.7f, 0, 0.5f);
    }
}

// Lead: a pulse wave with delayed vibrato and a bright filter, sent to the echo.
void lead(Mixer& m, double t0, float note, float hold, float gain, float pan) {
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
        if (i % 16 == 0) flt.tune(f0 * (3 + 5 * std::exp(-t * 5)), 1.1f);
        flt.run(0.5f * (saw1 - saw2));
        float v = flt.lp * adsr(t, hold, 0.01f, 0.2f, 0.75f, 0.18f);
        m.put(i0 + i, v * gain, pan, 0.35f, 0.25f);
    }
}

// Pluck: a Karplus-Strong string.
void pluck(Mixer& m, double t0, float note, float gain, float pan) {
    size_t i0 = frameAt(t0), len = size_t(1.2 * kRate);
    size_t period = std::max<size_t>(2, size_t(kRate / hz(note)));
    std::vector<float> line(period);
    Noise nz(uint32_t(i0) + uint32_t(note * 31));
    float lp = 0;
    for (auto& v : line) lp = 0.5f * lp + 0.5f * nz.next(), v = lp;
    float prev = 0;
    for (size_t i = 0; i < len; ++i) {
        float& cur = line[i % period];
        float out = cur;
        cur = 0.996f * 0.5f * (cur + prev);
        prev = out;
        m.put(i0 + i, out * gain * (1 - float(i) / len), pan, 0.25f, 0.3f);
    }
}

// Bell: two-operator FM with a decaying index, the music box and the chimes.
void bell(Mixer& m, double t0, float note, float gain, float pan, float length = 1.8f) {
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

// Choir: stacked sines with vibrato through a vowel-like band-pass pair.
void choir(Mixer& m, double t0, float note, float hold, float gain, float pan) {
    size_t i0 = frameAt(t0), len = size_t((hold + 1.5f) * kRate);
    float f = hz(note);
    Svf f1, f2;
    f1.tune(700, 3), f2.tune(1150, 4);
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
        f1.run(s * 0.25f), f2.run(s * 0.25f);
        float v = (f1.bp + 0.6f * f2.bp) * adsr(t, hold, 0.6f, 0.5f, 0.85f, 1.4f);
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

// One section of the arrangement: its key, chord per bar and how loud each part is.
struct Section {
    Key key;
    int chords[4];   // scale degree of each bar's chord, repeating
    int drums;       // 0 none, 1 hats only, 2 four to the floor, 3 broken beat, 4 half time
    int bassStyle;   // 0 none, 1 driving eighths, 2 syncopated, 3 long notes
    int arp;         // 0 none, 1 plucked sixteenths, 2 music-box eighths
    float padGain, bassGain, arpGain, leadGain, bellGain, choirGain, drumGain;
    float padCutoff;
    int melodySeed;
    float master;  // overall loudness of the section
};

// The scenes' sections, in show order (boundaries in trackSections).
const Section sections[8] = {
    // intro: the ball and the letter cards; music box over a pad, building
    {{62, true}, {0, 5, 2, 6}, 1, 3, 2, 0.32f, 0.35f, 0.22f, 0, 0.16f, 0, 0.28f, 900, 1, 0.55f},
    // flight over the valley: full drive
    {{62, true}, {0, 5, 2, 6}, 2, 1, 1, 0.22f, 0.5f, 0.12f, 0.26f, 0, 0, 0.85f, 1600, 2, 1.0f},
    // the driven strings: broken beat, plucks, new key
    {{67, true}, {0, 3, 6, 4}, 3, 2, 1, 0.2f, 0.5f, 0.2f, 0, 0.1f, 0, 0.7f, 1200, 3, 0.7f},
    // the hanging bauble: airy, chimes and choir over soft hats, no kick
    {{63, false}, {0, 5, 3, 4}, 1, 3, 2, 0.3f, 0.3f, 0.2f, 0, 0.2f, 0.18f, 0.2f, 700, 4, 0.5f},
    // the first single bauble: half time, deep bass, singing lead
    {{60, true}, {0, 5, 3, 4}, 4, 2, 0, 0.26f, 0.55f, 0, 0.24f, 0, 0, 0.75f, 1100, 5, 0.8f},
    // the second single bauble: the climax
    {{69, true}, {0, 5, 2, 6}, 2, 1, 1, 0.24f, 0.5f, 0.14f, 0.25f, 0.08f, 0, 0.9f, 2000, 6, 1.05f},
    // the closing pictures: a slow carol with choir and bells
    {{65, false}, {0, 3, 4, 0}, 0, 3, 0, 0.25f, 0.25f, 0, 0, 0.22f, 0.3f, 0, 800, 7, 0.55f},
    // the finale: bright major, full band, a last chord
    {{62, false}, {0, 4, 5, 3}, 2, 1, 1, 0.22f, 0.5f, 0.12f, 0.25f, 0.08f, 0, 0.85f, 1800, 8, 0.95f},
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

// Renders one section's parts between start and end (seconds).
void renderSection(Mixer& m, const Section& s, double start, double end, bool last) {
    const int bars = std::max(1, int(std::lround((end - start) / 2.0)));
    const double bar = (end - start) / bars, six = bar / 16;  // bar and sixteenth lengths
    const Key& k = s.key;
    auto chordOf = [&](int b) { return s.chords[b % 4]; };
    // Motifs A and B; the phrase is A, A on the next chords, B, A again.
    const bool slow = s.leadGain == 0;
    std::vector<MelodyNote> motifA = makeMotif(uint32_t(s.melodySeed * 977 + 1), slow);
    std::vector<MelodyNote> motifB = makeMotif(uint32_t(s.melodySeed * 977 + 2), slow);
    const int finalBars = last ? 2 : 0;  // the finale ends on a held chord
    float pan = -0.3f;

    for (int b = 0; b < bars; ++b) {
        const double t = start + b * bar;
        // Loudness shape inside the section: the intro and carol grow, the others hold.
        float shape = s.drums == 0 || s.drums == 1 ? 0.6f + 0.4f * float(b) / bars : 1.f;
        const float g = s.master * shape;
        const int chord = chordOf(b);
        const bool ending = b >= bars - finalBars;
        const bool fillBar = b == bars - 1 - finalBars && s.drums >= 2;
        if (ending) {
            if (b == bars - finalBars) {  // one last tonic chord across the closing bars
                crash(m, t, 0.5f * g);
                kick(m, t, 0.9f * g);
                for (int d : {0, 2, 4, 7}) pad(m, t, degreeNote(k, d) - 12, float(bar * finalBars) - 1.6f, s.padGain * g, s.padCutoff, 0.05f);
                bass(m, t, degreeNote(k, 0) - 24, float(bar * finalBars) - 1.8f, s.bassGain * g, 0.6f);
                for (int d : {0, 4, 7, 9, 11, 14}) bell(m, t + 0.08 * d / 2, degreeNote(k, d) + 12, s.bellGain * g * 1.5f, d % 2 ? 0.4f : -0.4f, 3.5f);
            }
            continue;
        }
        // Pad and choir: the chord, held for the bar.
        int triad[3] = {chord, chord + 2, chord + 4};
        if (s.padGain > 0)
            for (int d : triad) pad(m, t, degreeNote(k, d) - 12, float(bar) - 0.1f, s.padGain * g, s.padCutoff, 0.35f);
        if (s.choirGain > 0)
            for (int i = 0; i < 3; ++i) choir(m, t, degreeNote(k, triad[i]), float(bar) - 0.2f, s.choirGain * g, -0.5f + 0.5f * i);
        // Bass.
        const float root = degreeNote(k, chord) - 24;
        if (s.bassStyle == 1)
            for (int st = 0; st < 16; st += 2) bass(m, t + st * six, root + (st % 8 == 6 ? 12 : 0), float(six * 1.6), s.bassGain * g, 0.7f);
        else if (s.bassStyle == 2)
            for (int st : {0, 3, 6, 10, 12}) bass(m, t + st * six, root + (st == 10 ? 7 : 0), float(six * (st == 12 ? 3.5 : 2.5)), s.bassGain * g, 0.5f);
        else if (s.bassStyle == 3)
            bass(m, t, root, float(bar) - 0.1f, s.bassGain * g, 0.15f);
        // Arpeggio.
        if (s.arp == 1) {
            static const int order[8] = {0, 1, 2, 3, 2, 1, 0, 2};
            for (int st = 0; st < 16; ++st) {
                int d = order[st % 8] == 3 ? chord + 7 : triad[order[st % 8]];
                pluck(m, t + st * six, degreeNote(k, d), s.arpGain * g * (st % 4 == 0 ? 1.f : 0.7f), st % 2 ? 0.5f : -0.5f);
            }
        } else if (s.arp == 2) {
            static const int order[8] = {0, 2, 4, 7, 4, 2, 5, 4};
            for (int st = 0; st < 16; st += 2) {
                int d = chord + order[(st / 2 + b) % 8];
                bell(m, t + st * six, degreeNote(k, d) + 12, s.arpGain * g * 0.8f, ((st / 2) % 2) ? 0.6f : -0.6f, 1.2f);
            }
        }
        // Melody: lead for the driving sections, bells or choir-led chimes for the calm ones.
        const int phraseBar = b % 8;
        const std::vector<MelodyNote>& motif = (phraseBar / 2 == 2) ? motifB : motifA;
        const int transpose = (phraseBar / 2 == 1) ? 2 : 0;
        const bool melodyOn = (s.leadGain > 0 && b >= 2) || (s.leadGain == 0 && s.bellGain > 0 && b >= 1);
        if (melodyOn)
            for (const MelodyNote& n : motif) {
                if (n.step / 16 != phraseBar % 2) continue;
                int d = n.degree + transpose;
                if (n.step % 4 == 0) d = toChordTone(d, chord);
                if (n.step == 28) d = (phraseBar == 7) ? 7 : chord + 7;  // half cadence on the chord, home at the end
                double nt = t + (n.step % 16) * six;
                float len = float(n.length * six * 0.92);
                if (s.leadGain > 0) lead(m, nt, degreeNote(k, d), len, s.leadGain * g, 0.1f);
                else bell(m, nt, degreeNote(k, d) + 12, s.bellGain * g, pan = -pan, 2.2f);
            }
        // Drums.
        if (s.drums == 0) continue;
        const float dg = s.drumGain * g;
        if (b == 0 && s.drums >= 2) crash(m, t, 0.45f * dg);
        for (int st = 0; st < 16; ++st) {
            const double ts = t + st * six;
            bool inFill = fillBar && st >= 12;
            switch (s.drums) {
                case 1:
                    if (st % 2 == 0) hat(m, ts, (st % 4 == 0 ? 0.22f : 0.14f) * dg, false, 0.3f);
                    break;
                case 2:
                    if (st % 4 == 0) kick(m, ts, 1.0f * dg);
                    if (st == 4 || st == 12) snare(m, ts, 0.7f * dg);
                    if (st % 4 == 2) hat(m, ts, 0.3f * dg, true, 0.25f);
                    else hat(m, ts, (st % 2 ? 0.12f : 0.2f) * dg, false, -0.25f);
                    break;
                case 3:
                    if (st == 0 || st == 6 || st == 10) kick(m, ts, 0.95f * dg);
                    if (st == 4 || st == 12) snare(m, ts, 0.7f * dg);
                    if (st == 7 || st == 15) snare(m, ts, 0.18f * dg, -0.2f);
                    if (st % 2 == 0) hat(m, ts, 0.18f * dg, st == 14, 0.3f);
                    break;
                case 4:
                    if (st == 0 || st == 10) kick(m, ts, 1.0f * dg);
                    if (st == 8) snare(m, ts, 0.8f * dg);
                    if (st % 2 == 0) hat(m, ts, 0.15f * dg, false, 0.2f);
                    break;
            }
            if (inFill) snare(m, ts, (0.3f + 0.1f * (st - 12)) * dg, 0.3f - 0.15f * (st - 12));
        }
    }
    // The intro's last bar rolls into the flight; the carol's last bar into the finale.
    if (s.drums <= 1 && !last)
        for (int st = 0; st < 16; ++st) snare(m, end - bar + st * six, (0.05f + 0.3f * st / 16.f) * s.master, 0);
}

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

// Arranges every section, runs the effects, then limits and quantises.
std::vector<short> renderTrack() {
    const double length = trackSections.back();
    Mixer m(frameAt(length) + 1);
    for (size_t s = 0; s + 1 < trackSections.size(); ++s)
        renderSection(m, sections[s], trackSections[s], trackSections[s + 1], s + 2 == trackSections.size());
    runEcho(m, 0.36, 0.38);
    runReverb(m);
    const size_t frames = frameAt(length);
    float peak = 1e-6f;
    for (size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(m.dry.l[i]), std::fabs(m.dry.r[i])});
    // Normalise, then a gentle tanh limiter keeps the loudest hits below full scale.
    const float norm = 1.6f / peak;
    std::vector<short> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        float fadeOut = std::min(1.f, float(length - double(i) / kRate) / 0.05f);  // no click at the very end
        for (int c = 0; c < 2; ++c) {
            float v = (c ? m.dry.r[i] : m.dry.l[i]) * norm;
            v = std::tanh(v) * 0.94f * fadeOut;
            pcm[2 * i + c] = short(std::lround(v * 32767.f));
        }
    }
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
