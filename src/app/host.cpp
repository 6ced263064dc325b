// host.cpp - the stand-in host used until the platform layer installs its own.
#include "app/host.h"

#include <cstdio>

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

Host standIn() {
    Host h;
    h.messageBox = quietBox;
    h.makeMainCurrent = nothing;
    h.swapBuffers = nothing;
    h.releaseContext = nothing;
    h.screenSize = noSize;
    h.postQuit = noQuit;
    h.createView = noView;
    h.makeViewCurrent = noViewCurrent;
    h.openAudio = noAudio;
    h.loadMusic = noMusic;
    h.playMusic = nothing;
    h.seekMusic = noSeek;
    h.pauseMusic = noHold;
    h.muteMusic = noHold;
    h.closeAudio = nothing;
    return h;
}
}  // namespace

Host host = standIn();

void resetHost() { host = standIn(); }
