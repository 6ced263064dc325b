// music.cpp - device set-up, the track in memory, start and stop.
#include "app/music.h"

#include <cstdio>

#include "show/host.h"

MusicState music;
const char* const musicPath = "muzyka\\I po co to.mp3";

std::string assetPath(const char* path) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

bool readTrack(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
    const FileRead read = host.readFile(path.c_str(), kMaxTrackBytes, bytes, reason);
    if (read == FileRead::Missing) reason = "is not there";
    if (read == FileRead::Ok && bytes.empty()) reason = "is empty";
    return read == FileRead::Ok && !bytes.empty();
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::string reason;
    return readTrack(path, bytes, reason);
}

void initMusic() {
    const bool deferred = music.startsWithFirstPicture;
    music = MusicState();
    music.startsWithFirstPicture = deferred;
    music.deviceOpen = host.openAudio();
    if (!music.deviceOpen) {
        // The box keeps the show's own words; the line says it in English.
        std::fputs("baubles: no audio device: the show plays silent\n", stderr);
        host.messageBox("Error", "Inicjacja diwajsu");
    }

    const std::string path = assetPath(musicPath);
    std::string reason;
    const bool readable = readTrack(path, music.buffer, reason);
    // With no device there is nothing to play on; the track itself is not
    // to blame, so only its own failures get its message.
    if (readable && music.deviceOpen) {
        music.loaded = host.loadMusic(music.buffer.data(), music.buffer.size());
        if (!music.loaded) reason = "is not a track the player can decode";
    }
    if (!readable || (music.deviceOpen && !music.loaded)) {
        // The box keeps the show's own words; the line beside it says which
        // file and what is wrong with it.
        reportAsset(path, reason, "the show runs silent");
        host.messageBox("Error", "Brak pilku muzycznego w katalogu muzyka.");
        music.buffer.clear();
        music.buffer.shrink_to_fit();
    }
}

void startMusic() {
    if (music.loaded && !music.startsWithFirstPicture) host.playMusic();
}

void shutdownMusic() {
    host.closeAudio();
    music.loaded = false;
    music.deviceOpen = false;
    music.buffer.clear();
    music.buffer.shrink_to_fit();
}
