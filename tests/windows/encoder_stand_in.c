/* encoder_stand_in.c - ffmpeg.exe for the Wine test, which has no real one:
 * it takes the frames from its standard input as ffmpeg would, then writes
 * into its last argument (the output, "file:" and a name) how many bytes
 * came and how large the file after its second -i (the track) is. With
 * STAND_IN_EXIT=n in the environment it fails with n instead. Names come
 * in any language, so it takes them as wide strings. */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static const wchar_t* fileName(const wchar_t* arg) { return wcsncmp(arg, L"file:", 5) == 0 ? arg + 5 : arg; }

int wmain(int argc, wchar_t** argv) {
    static char buf[1 << 16];
    unsigned long long frames = 0;
    size_t n;
    long long track = -1;
    int inputs = 0;
    _setmode(_fileno(stdin), _O_BINARY);
    while ((n = fread(buf, 1, sizeof buf, stdin)) > 0) frames += n;
    if (getenv("STAND_IN_EXIT") && atoi(getenv("STAND_IN_EXIT")) != 0) return atoi(getenv("STAND_IN_EXIT"));
    for (int i = 1; i + 1 < argc; ++i)
        if (wcscmp(argv[i], L"-i") == 0 && ++inputs == 2) {
            FILE* t = _wfopen(fileName(argv[i + 1]), L"rb");
            if (t && fseek(t, 0, SEEK_END) == 0) track = ftell(t);
            if (t) fclose(t);
        }
    FILE* out = argc > 1 ? _wfopen(fileName(argv[argc - 1]), L"wb") : NULL;
    if (!out) return 3;
    fprintf(out, "frame bytes %llu track bytes %lld\n", frames, track);
    return fclose(out) == 0 ? 0 : 4;
}
