// chatter_win.cpp - the Windows side of LibraryChatter: what libraries print
// on their own goes to a temporary file that is deleted when closed, and is
// shown, each line prefixed with its source, only when BAUBLES_DEBUG is set.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform_internal.h"
#include "platform/signals.h"
#include "platform/win32.h"

namespace {

bool debugging() {
    const char* debug = std::getenv("BAUBLES_DEBUG");
    return debug && *debug && std::string(debug) != "0";
}

}  // namespace

LibraryChatter::LibraryChatter(const char* source) : source_(source) {
    wchar_t dir[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameW(dir, L"bau", 0, name)) return;
    const HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        return;
    }
    file_ = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
    if (file_ < 0) {
        CloseHandle(h);
        return;
    }
    std::fflush(stderr);
    saved_ = _dup(2);
    if (saved_ < 0 || _dup2(file_, 2) != 0) {
        if (saved_ >= 0) _close(saved_);
        _close(file_);
        saved_ = file_ = -1;
        return;
    }
    platformSetStandardErrorFd(saved_);
}

LibraryChatter::~LibraryChatter() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    _dup2(saved_, 2);
    platformSetStandardErrorFd(2);
    _close(saved_);
    const long long size = _filelengthi64(file_);
    if (debugging() && size > 0) {
        std::string text(static_cast<size_t>(size), '\0');
        _lseeki64(file_, 0, SEEK_SET);
        const int got = _read(file_, &text[0], static_cast<unsigned>(text.size()));
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) std::fprintf(stderr, "baubles: [%s] %s\n", source_, line.c_str());
            start = end + 1;
        }
    }
    _close(file_);
}
