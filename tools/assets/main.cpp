// main.cpp - the asset generator's entry. The build runs it twice:
//   baubles_assets pictures <data dir> <font dir>   writes <data dir>/Images/*.bmp
//   baubles_assets music <data dir> <lame program>  writes <data dir>/muzyka/I po co to.mp3
// and once more for the desktop's icon:
//   baubles_assets icon <dir>                       writes <dir>/hicolor/*/apps/baubles.{png,svg}
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "icon.h"
#include "music.h"
#include "pictures.h"
#include "text.h"

// Runs one of the three generation steps and reports what it wrote.
int main(int argc, char** argv) {
    if (argc < 3 || argc != (std::string(argv[1]) == "icon" ? 3 : 4)) {
        std::fprintf(stderr, "usage: %s pictures <data dir> <font dir>\n       %s music <data dir> <lame>\n       %s icon <dir>\n",
                     argv[0], argv[0], argv[0]);
        return 2;
    }
    const std::string mode = argv[1], dataDir = argv[2];
    const auto begin = std::chrono::steady_clock::now();
    try {
        if (mode == "pictures") {
            const std::string dir = dataDir + "/Images";
            std::filesystem::create_directories(dir);
            setFontDir(argv[3]);
            size_t count = writePictures(dir).size();
            std::printf("baubles_assets: %zu pictures in %s", count, dir.c_str());
        } else if (mode == "music") {
            const std::string dir = dataDir + "/muzyka";
            std::filesystem::create_directories(dir);
            writeTrack(dir + "/I po co to.mp3", argv[3]);
            std::printf("baubles_assets: track in %s", dir.c_str());
        } else if (mode == "icon") {
            writeIcons(dataDir);
            std::printf("baubles_assets: icons in %s", dataDir.c_str());
        } else {
            std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "baubles_assets: %s\n", e.what());
        return 1;
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf(" (%.1f s)\n", secs);
    return 0;
}
