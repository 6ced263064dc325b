// chatter.cpp - what libraries print on their own (the audio back-ends'
// complaints, the GL loader's warnings, the MP3 decoder's notes on a
// spoiled track) is kept off the program's standard error, which carries
// only the program's own lines. With BAUBLES_DEBUG set it is shown after
// the call that made it, each line prefixed with its source.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform_internal.h"
#include "platform/signals.h"

namespace {

bool debugging() {
    const char* debug = std::getenv("BAUBLES_DEBUG");
    return debug && *debug && std::string(debug) != "0";
}

}  // namespace

LibraryChatter::LibraryChatter(const char* source) : source_(source) {
    // A file in memory, made for the call and gone after it: nothing a
    // library writes can block on it or be lost to a full pipe, and no
    // descriptor is kept for it meanwhile (ulimit -n may be low).
    file_ = memfd_create("baubles-library-output", MFD_CLOEXEC);
    if (file_ < 0) return;
    std::fflush(stderr);
    saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved_ < 0 || dup2(file_, STDERR_FILENO) < 0) {
        if (saved_ >= 0) close(saved_);
        close(file_);
        saved_ = file_ = -1;
        return;
    }
    // A signal's line goes to the real standard error meanwhile.
    platformSetStandardErrorFd(saved_);
}

LibraryChatter::~LibraryChatter() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    platformSetStandardErrorFd(STDERR_FILENO);
    close(saved_);
    struct stat st;
    if (debugging() && fstat(file_, &st) == 0 && st.st_size > 0) {
        std::string text(static_cast<size_t>(st.st_size), '\0');
        const ssize_t got = pread(file_, &text[0], text.size(), 0);
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            if (end > start)
                std::fprintf(stderr, "baubles: [%s] %s\n", source_, text.substr(start, end - start).c_str());
            start = end + 1;
        }
    }
    close(file_);
}
