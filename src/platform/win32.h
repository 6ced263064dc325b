// win32.h - what the Windows side of the platform layer shares: windows.h
// without its min/max macros, and paths in UTF-8 (as the program and SDL
// keep them) turned into the wide strings Windows' own calls take, so a
// folder named in any language works.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

// UTF-8 to UTF-16; an invalid sequence becomes U+FFFD.
inline std::wstring widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

// UTF-16 to UTF-8.
inline std::string narrow(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr, nullptr);
    return text;
}

// A Windows error in the words the POSIX side uses for the same thing, so
// the program's lines read alike on both.
inline std::string windowsErrorText(DWORD err) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return "No such file or directory";
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: return "Permission denied";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return "the file is in use by another program";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return "No space left on device";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return "File exists";
        case ERROR_DIRECTORY: return "Not a directory";
        case ERROR_FILENAME_EXCED_RANGE: return "File name too long";
        case ERROR_INVALID_NAME: return "the name is not a valid Windows file name";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return "Cannot allocate memory";
        case ERROR_TOO_MANY_OPEN_FILES: return "Too many open files";
        case ERROR_NOT_SAME_DEVICE: return "Invalid cross-device link";
        default: return "Windows error " + std::to_string(err);
    }
}
