// audio.cpp - the music device and the one track, through SDL2_mixer.
#include <SDL.h>
#include <SDL_mixer.h>

#include "show/host.h"
#include "platform/platform_internal.h"

namespace {

// Samples the mixer fills at a time: a place set in the track is heard from
// the next fill on, on average half a fill later; and the decoder hands on
// whole MP3 frames of 1152 samples, of which on average half a frame decoded
// before the move is still played first.
constexpr int kMixChunk = 1024;
constexpr double kMixRate = 44100;
constexpr double kSeekLead = (kMixChunk / 2 + 1152 / 2) / kMixRate;

struct AudioState {
    bool open = false;
    Mix_Music* music = nullptr;
    bool paused = false;
    bool muted = false;
    int volume = MIX_MAX_VOLUME;
    double startAt = -1;  // where a held track not yet playing starts
};
AudioState audio;

bool openAudio() {
    if (audio.open) return true;
    // The audio back-ends (ALSA, PulseAudio, PipeWire) tell of every device they miss.
    const LibraryChatter quiet("audio");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudio(static_cast<int>(kMixRate), MIX_DEFAULT_FORMAT, 2, kMixChunk) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    audio.open = true;
    return true;
}

bool loadMusic(const uint8_t* bytes, size_t size) {
    if (!audio.open || !bytes || size == 0 || size > 0x7fffffff) return false;
    if (audio.music) Mix_FreeMusic(audio.music);
    SDL_RWops* rw = SDL_RWFromConstMem(bytes, static_cast<int>(size));
    // The MP3 decoder tells of every header it misses in a spoiled track.
    const LibraryChatter quiet("MP3 decoder");
    audio.music = rw ? Mix_LoadMUSType_RW(rw, MUS_MP3, 1) : nullptr;
    return audio.music != nullptr;
}

void playMusic() {
    if (audio.music) Mix_PlayMusic(audio.music, 1);  // once, no loop
}

// A track not yet started, or played to its end, starts right at the place:
// not a sample from before it is heard. Held, it starts there when let go.
// The place is the one to be heard now, so the track is set that much ahead
// of it as the next fill is away.
void seekMusic(double seconds) {
    if (!audio.music) return;
    seconds = seconds < 0 ? 0 : seconds + kSeekLead;
    if (Mix_PlayingMusic()) {
        audio.startAt = -1;
        Mix_SetMusicPosition(seconds);
    } else if (audio.paused) {
        audio.startAt = seconds;
    } else {
        Mix_FadeInMusicPos(audio.music, 1, 0, seconds);
    }
}

void pauseMusic(bool paused) {
    audio.paused = paused;
    if (!audio.music) return;
    if (paused) {
        Mix_PauseMusic();
    } else if (audio.startAt >= 0) {
        Mix_FadeInMusicPos(audio.music, 1, 0, audio.startAt);
        audio.startAt = -1;
    } else {
        Mix_ResumeMusic();
    }
}

void applyVolume() {
    if (audio.open) Mix_VolumeMusic(audio.muted ? 0 : audio.volume);
}

void muteMusic(bool muted) {
    audio.muted = muted;
    applyVolume();
}

void setMusicVolume(double volume) {
    volume = volume < 0 ? 0 : volume > 1 ? 1 : volume;
    audio.volume = static_cast<int>(volume * MIX_MAX_VOLUME + 0.5);
    applyVolume();
}

void closeAudio() {
    if (audio.music) {
        Mix_HaltMusic();
        Mix_FreeMusic(audio.music);
        audio.music = nullptr;
    }
    if (audio.open) {
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio.open = false;
    }
}

}  // namespace

bool platformProbeTrack(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0 || size > 0x7fffffff) return false;
    // Decoding needs an open mixer. Without a device of its own (the recorder
    // runs without one), SDL's dummy device stands in for the probe.
    const bool wasOpen = audio.open;
    if (!wasOpen) {
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        // No mixer at all: the track cannot be judged here; the encoder will.
        if (!openAudio()) return true;
    }
    SDL_RWops* rw = SDL_RWFromConstMem(bytes, static_cast<int>(size));
    Mix_Music* probe = nullptr;
    {
        const LibraryChatter quiet("MP3 decoder");
        probe = rw ? Mix_LoadMUSType_RW(rw, MUS_MP3, 1) : nullptr;
    }
    if (probe) Mix_FreeMusic(probe);
    if (!wasOpen) closeAudio();
    return probe != nullptr;
}

void installAudioHost() {
    host.openAudio = openAudio;
    host.loadMusic = loadMusic;
    host.playMusic = playMusic;
    host.seekMusic = seekMusic;
    host.pauseMusic = pauseMusic;
    host.muteMusic = muteMusic;
    host.setMusicVolume = setMusicVolume;
    host.closeAudio = closeAudio;
}

void shutdownAudio() { closeAudio(); }
