// host.cpp - the stand-in host used until the platform layer installs its own.
#include "show/host.h"

#include <cstdio>
#include <new>

namespace {
void quietBox(const char* caption, const char* text) { std::fprintf(stderr, "%s: %s\n", caption, text); }
void nothing() {}
void noSize(int* w, int* h) { *w = 640; *h = 480; }
void noQuit(int) {}
OffscreenView* noView(int) { return nullptr; }
void noViewCurrent(OffscreenView*) {}
bool noAudio() { return false; }
bool noMusic(const uint8_t*, size_t) { return false; }
void noSeek(double) {}
void noHold(bool) {}
void noVolume(double) {}

// Without the platform there is no asking what kind of file a name is:
// plain reads, with the same limit.
FileRead plainRead(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason) {
    bytes.clear();
    FILE* f = std::fopen(path, "rb");
    if (!f) return FileRead::Missing;
    bool ok = true;
    try {
        uint8_t chunk[1 << 16];
        size_t n;
        while (ok && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            ok = bytes.size() + n <= maxBytes;
            if (ok) bytes.insert(bytes.end(), chunk, chunk + n);
        }
        if (!ok) reason = "is too large";
        if (ok && std::ferror(f)) ok = false, reason = "cannot be read";
    } catch (const std::bad_alloc&) {
        ok = false;
        reason = "does not fit in memory";
    }
    std::fclose(f);
    if (!ok) bytes = std::vector<uint8_t>();
    return ok ? FileRead::Ok : FileRead::Refused;
}

Host standIn() {
    Host h;
    h.messageBox = quietBox;
    h.makeMainCurrent = nothing;
    h.swapBuffers = nothing;
    h.releaseContext = nothing;
    h.screenSize = noSize;
    h.composeFrame = nothing;
    h.outputSize = noSize;
    h.postQuit = noQuit;
    h.readFile = plainRead;
    h.createView = noView;
    h.makeViewCurrent = noViewCurrent;
    h.openAudio = noAudio;
    h.loadMusic = noMusic;
    h.playMusic = nothing;
    h.seekMusic = noSeek;
    h.pauseMusic = noHold;
    h.muteMusic = noHold;
    h.setMusicVolume = noVolume;
    h.closeAudio = nothing;
    return h;
}
}  // namespace

Host host = standIn();

void resetHost() { host = standIn(); }

void reportAsset(const std::string& path, const std::string& reason, const char* instead) {
    std::fprintf(stderr, "baubles: %s %s; %s\n", path.c_str(), reason.c_str(), instead);
}
