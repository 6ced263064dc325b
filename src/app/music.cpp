// music.cpp - device set-up, the track in memory, start and stop.
#include "app/music.h"

#include <cstdio>

#include "app/host.h"

MusicState music;
const char* const musicPath = "muzyka\\I po co to.mp3";

std::string assetPath(const char* path) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    // Read in pieces rather than trusting a size taken beforehand, so the
    // buffer always matches what was read, however large the file.
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

void initMusic() {
    music = MusicState();
    music.deviceOpen = host.openAudio();
    if (!music.deviceOpen) host.messageBox("Error", "Inicjacja diwajsu");

    const bool readable = readWholeFile(assetPath(musicPath), music.buffer) && !music.buffer.empty();
    // With no device there is nothing to play on; the track itself is not
    // to blame, so only its own failures get its message.
    if (readable && music.deviceOpen) music.loaded = host.loadMusic(music.buffer.data(), music.buffer.size());
    if (!readable || (music.deviceOpen && !music.loaded)) {
        host.messageBox("Error", "Brak pilku muzycznego w katalogu muzyka.");
        music.buffer.clear();
        music.buffer.shrink_to_fit();
    }
}

void startMusic() {
    if (music.loaded) host.playMusic();
}

void shutdownMusic() {
    host.closeAudio();
    music.loaded = false;
    music.deviceOpen = false;
    music.buffer.clear();
    music.buffer.shrink_to_fit();
}
