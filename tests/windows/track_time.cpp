// track_time TRACK.raw CAPTURE.raw GUESS_S: where in the track the capture's
// first sound is, in seconds, searched within a second of GUESS_S; then the
// correlation of the half second that follows. Both files are s16le stereo
// at 44.1 kHz (SDL's disk audio driver writes that; mpg123 -s decodes it).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../sound/capture.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: track_time TRACK.raw CAPTURE.raw GUESS_S\n");
        return 2;
    }
    const double rate = 44100;
    const std::vector<double> track = monoBlocks(readRaw(argv[1]), 1), shown = monoBlocks(readRaw(argv[2]), 1);
    size_t first = 0;
    while (first < shown.size() && std::fabs(shown[first]) <= 50) ++first;
    const size_t span = static_cast<size_t>(rate / 2);
    if (first + span > shown.size()) {
        std::fprintf(stderr, "track_time: the capture has no half second of sound\n");
        return 1;
    }
    const double guess = std::atof(argv[3]);
    const size_t lo = static_cast<size_t>(std::max(0.0, (guess - 1) * rate));
    const size_t hi = std::min(track.size() - span, static_cast<size_t>((guess + 1) * rate));
    double best = -1;
    size_t place = lo;
    for (size_t p = lo; p <= hi; ++p) {
        const double c = correlation(shown, first, track, p, span);
        if (c > best) best = c, place = p;
    }
    std::printf("%.4f %.4f\n", place / rate, best);
    return 0;
}
