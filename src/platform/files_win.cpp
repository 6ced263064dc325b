// files_win.cpp - the Windows side of files.h: reading regular files only,
// and writing outputs through a private file that replaces the final name
// once complete. Every path goes through the wide-character calls, and every
// descriptor is binary.
#define _CRT_RAND_S
#include <stdlib.h>

#include "platform/files.h"
#include "platform/read_bounded.h"

#include <fcntl.h>
#include <io.h>

#include <cstring>
#include <new>

#include <SDL.h>

#include "platform/platform_internal.h"
#include "platform/signals.h"
#include "platform/win32.h"

struct PlatformOutput {
    int fd = -1;
    int cleanupSlot = -1;
    std::string privatePath;
    std::string finalPath;
};

namespace {

std::string lastErrorText() { return windowsErrorText(GetLastError()); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The folder and the last component of a path; an empty name when the path
// ends in a separator. "C:name" and "C:\name" keep their drive.
void splitPath(const std::string& path, std::string& dir, std::string& name) {
    size_t cut = path.find_last_of("/\\");
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (cut == std::string::npos && drive) {
        dir = path.substr(0, 2);
        name = path.substr(2);
    } else if (cut == std::string::npos) {
        dir = ".";
        name = path;
    } else {
        // The root keeps its separator: "\" and "C:\".
        dir = cut == 0 || (drive && cut == 2) ? path.substr(0, cut + 1) : path.substr(0, cut);
        name = path.substr(cut + 1);
    }
}

bool namesFolder(const std::string& name) { return name.empty() || name == "." || name == ".."; }

// Eight letters and digits no one can guess beforehand.
std::string randomTag() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string tag;
    for (int i = 0; i < 8; ++i) {
        unsigned int r = 0;
        if (rand_s(&r) != 0) r = static_cast<unsigned>(GetTickCount() * 2654435761u) ^ GetCurrentProcessId() ^ (i * 97u);
        tag += kLetters[r % (sizeof kLetters - 1)];
    }
    return tag;
}

// What a name is, looked at without following a link.
enum class Kind { Missing, File, Folder, Link, Device, Unknown };
Kind kindAt(const std::string& path, DWORD* attributes = nullptr) {
    const DWORD a = GetFileAttributesW(widen(path).c_str());
    if (attributes) *attributes = a;
    if (a == INVALID_FILE_ATTRIBUTES) {
        const DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? Kind::Missing : Kind::Unknown;
    }
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return Kind::Link;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return Kind::Folder;
    if (a & FILE_ATTRIBUTE_DEVICE) return Kind::Device;
    return Kind::File;
}

const char* kindWords(Kind kind) {
    switch (kind) {
        case Kind::Folder: return "a folder";
        case Kind::Link: return "a symbolic link";
        case Kind::Device: return "a device";
        default: return "not a regular file";
    }
}

// What an open handle is: a file on disk, or a device, pipe or console.
std::string handleKind(HANDLE h) {
    switch (GetFileType(h)) {
        case FILE_TYPE_CHAR: return "a character device";
        case FILE_TYPE_PIPE: return "a pipe";
        case FILE_TYPE_DISK: {
            BY_HANDLE_FILE_INFORMATION info;
            if (GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                return "a folder";
            return "";
        }
        default: return "not a regular file";
    }
}

bool isFolder(const std::string& path) {
    const DWORD a = GetFileAttributesW(widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool holdsAssets(const std::string& dir) {
    const std::string prefix = dir.empty() ? "" : dir + "/";
    return isFolder(prefix + "Images") && isFolder(prefix + "muzyka");
}

bool writeAll(int fd, const void* bytes, size_t size, std::string& reason) {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
        const int n = _write(fd, p, chunk);
        if (n <= 0) {
            reason = n < 0 && errno != ENOSPC ? std::strerror(errno) : "No space left on device";
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The identity of a file: its volume and index.
bool fileIdentity(HANDLE h, uint64_t& volume, uint64_t& index) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return false;
    volume = info.dwVolumeSerialNumber;
    index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

}  // namespace

void platformOpenStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) != -1 && _get_osfhandle(fd) != -2) continue;
        const int null = _wopen(L"NUL", (fd == 0 ? _O_RDONLY : _O_WRONLY) | _O_BINARY | _O_NOINHERIT);
        if (null >= 0 && null != fd) {
            _dup2(null, fd);
            _close(null);
        }
    }
    // The program's own lines and the outputs are bytes, never text.
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
}

int platformOpenRegularFile(const char* path, size_t maxBytes, bool& missing, std::string& reason) {
    missing = false;
    // Looked at before opening, so a device or a folder is never opened.
    const Kind kind = kindAt(path);
    if (kind == Kind::Missing) {
        missing = true;
        reason = "is not there";
        return -1;
    }
    if (kind == Kind::Folder || kind == Kind::Device) {
        reason = std::string("is ") + kindWords(kind) + ", not a regular file";
        return -1;
    }
    const HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        missing = err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
        reason = missing ? "is not there" : "cannot be opened: " + windowsErrorText(err);
        return -1;
    }
    // The name may have changed since the look: the handle is what counts.
    const std::string other = handleKind(h);
    LARGE_INTEGER size{};
    if (!other.empty()) {
        reason = "is " + other + ", not a regular file";
    } else if (!GetFileSizeEx(h, &size)) {
        reason = "cannot be opened: " + lastErrorText();
    } else if (static_cast<uint64_t>(size.QuadPart) > maxBytes) {
        reason = "is larger than " + megabytes(maxBytes);
    } else {
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
        if (fd >= 0) return fd;
        reason = "cannot be opened: Too many open files";
    }
    CloseHandle(h);
    return -1;
}

std::string platformAssetFile(const std::string& name) {
    const bool absolute = !name.empty() && (isSeparator(name[0]) || (name.size() >= 2 && name[1] == ':'));
    if (platform.assetDir.empty() || name.empty() || absolute) return name;
    return platform.assetDir + "/" + name;
}

bool platformFindAssets(std::string& lookedAt) {
    std::vector<std::string> places = {""};
    if (char* base = SDL_GetBasePath()) {  // UTF-8, ending with a separator
        const std::string exeDir = base;
        SDL_free(base);
        places.push_back(exeDir + "data");
        places.push_back(exeDir + "../data");
        places.push_back(exeDir + "../share/baubles");
    }
    lookedAt.clear();
    for (const std::string& dir : places) {
        if (holdsAssets(dir)) {
            platform.assetDir = dir;
            return true;
        }
        lookedAt += (lookedAt.empty() ? "" : ", ") + (dir.empty() ? std::string("the working directory") : dir);
    }
    platform.assetDir.clear();
    return false;
}

FileRead platformReadFile(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason) {
    bytes.clear();
    bool missing = false;
    const int fd = platformOpenRegularFile(platformAssetFile(path).c_str(), maxBytes, missing, reason);
    if (fd < 0) return missing ? FileRead::Missing : FileRead::Refused;
    const bool ok = platformReadOpenFile(fd, maxBytes, bytes, reason);
    _close(fd);
    return ok ? FileRead::Ok : FileRead::Refused;
}

bool platformReadOpenFile(int fd, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason) {
    const long long size = _filelengthi64(fd);
    return readBounded(
        [fd](uint8_t* chunk, size_t room, std::string& why) -> long {
            const int n = _read(fd, chunk, static_cast<unsigned>(room));
            if (n < 0) why = std::string("cannot be read: ") + std::strerror(errno);
            return n;
        },
        size > 0 ? static_cast<uint64_t>(size) : 0, maxBytes, bytes, reason);
}

void platformCloseFile(int fd) {
    if (fd >= 0) _close(fd);
}

bool platformMakeFolders(const std::string& dir, std::string& reason) {
    if (dir.empty()) {
        reason = "no folder name given";
        return false;
    }
    std::vector<std::string> made;
    for (size_t end = dir.find_first_of("/\\", 1);; end = dir.find_first_of("/\\", end + 1)) {
        const std::string part = dir.substr(0, end);
        const bool driveOnly = part.size() == 2 && part[1] == ':';
        if (!part.empty() && !driveOnly && !isFolder(part)) {
            if (!CreateDirectoryW(widen(part).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
                reason = lastErrorText();
                for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(widen(*it).c_str());
                return false;
            }
            if (!isFolder(part)) {
                reason = part + " is not a folder";
                for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(widen(*it).c_str());
                return false;
            }
            made.push_back(part);
        }
        if (end == std::string::npos) break;
    }
    return true;
}

bool platformCheckFoldersCanBeMade(const std::string& dir, size_t longestName, std::string& reason) {
    if (dir.empty()) {
        reason = "no folder name given";
        return false;
    }
    // Windows counts a path in UTF-16 units, MAX_PATH with its terminator;
    // the longest private name made inside is ".NAME.XXXXXXXX".
    const size_t units = widen(dir).size();
    if (units + 1 + longestName + 10 >= MAX_PATH) {
        reason = "is too long: a path has at most " + std::to_string(MAX_PATH - 1) + " characters";
        return false;
    }
    std::string existing = ".";
    bool missing = false;
    for (size_t start = 0; start <= dir.size();) {
        size_t end = dir.find_first_of("/\\", start);
        if (end == std::string::npos) end = dir.size();
        const std::string name = dir.substr(start, end - start);
        start = end + 1;
        if (name.empty() || (end == 2 && name.size() == 2 && name[1] == ':')) {
            if (!name.empty() || end == 0) existing = dir.substr(0, end + 1);
            continue;
        }
        if (widen(name).size() > 255) {
            reason = "has a part longer than 255 characters: " + name.substr(0, 40) + "...";
            return false;
        }
        if (missing) continue;
        const std::string part = dir.substr(0, end);
        const Kind kind = kindAt(part);
        if (kind == Kind::Folder) {
            existing = part;
        } else if (kind == Kind::Missing) {
            missing = true;
        } else if (kind == Kind::Unknown) {
            reason = part + ": " + lastErrorText();
            return false;
        } else {
            reason = part + " is " + kindWords(kind) + ", not a folder";
            return false;
        }
    }
    if (!missing) return true;
    std::string why;
    if (!platformCheckOutputFolder(existing, why)) {
        reason = "cannot be made in " + existing + ": " + why;
        return false;
    }
    return true;
}

bool platformFolderExists(const std::string& dir) { return isFolder(dir); }

bool platformCheckOutputFolder(const std::string& dir, std::string& reason) {
    if (dir.empty()) {
        reason = "no folder name given";
        return false;
    }
    const Kind kind = kindAt(dir);
    if (kind == Kind::Missing || kind == Kind::Unknown) {
        reason = lastErrorText();
        return false;
    }
    if (!isFolder(dir)) {
        reason = std::string("is ") + kindWords(kind) + ", not a folder";
        return false;
    }
    // Only creating a file tells for sure (ACLs, a read-only medium).
    PlatformOutput* probe = platformCreateOutput(dir + "/probe", reason);
    if (!probe) return false;
    platformDiscardOutput(probe);
    return true;
}

bool platformCheckOutputFile(const std::string& path, std::string& reason) {
    if (path.empty()) {
        reason = "no file name given";
        return false;
    }
    std::string dir, name;
    splitPath(path, dir, name);
    if (namesFolder(name)) {
        reason = "names a folder, not a file";
        return false;
    }
    const Kind kind = kindAt(path);
    if (kind == Kind::Link) {
        reason = "is a symbolic link; only a regular file is replaced";
        return false;
    }
    if (kind == Kind::Folder || kind == Kind::Device) {
        reason = std::string("is ") + kindWords(kind) + "; only a regular file is replaced";
        return false;
    }
    if (kind == Kind::Unknown) {
        reason = lastErrorText();
        return false;
    }
    return platformCheckOutputFolder(dir, reason);
}

PlatformOutput* platformCreateOutput(const std::string& finalPath, std::string& reason) {
    std::string dir, name;
    splitPath(finalPath, dir, name);
    if (namesFolder(name)) {
        reason = "names a folder, not a file";
        return nullptr;
    }
    const std::string stem = dir + (isSeparator(dir.back()) || dir.back() == ':' ? "." : "/.") + name.substr(0, 200) + ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string candidate = stem + randomTag();
        // Shared for writing: the encoder writes the video through its name.
        const HANDLE h = CreateFileW(widen(candidate).c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD err = GetLastError();
            if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) continue;
            reason = windowsErrorText(err);
            return nullptr;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h);
            DeleteFileW(widen(candidate).c_str());
            reason = "Too many open files";
            return nullptr;
        }
        auto* out = new PlatformOutput;
        out->fd = fd;
        out->privatePath = candidate;
        out->finalPath = finalPath;
        out->cleanupSlot = platformRegisterCleanupPath(candidate.c_str());
        return out;
    }
    reason = "no free private name";
    return nullptr;
}

int platformOutputDescriptor(const PlatformOutput* output) { return output ? output->fd : -1; }

std::string platformOutputPath(const PlatformOutput* output) { return output ? output->privatePath : ""; }

bool platformWriteOutput(PlatformOutput* output, const void* bytes, size_t size, std::string& reason) {
    if (!output || output->fd < 0) {
        reason = "not open";
        return false;
    }
    return writeAll(output->fd, bytes, size, reason);
}

bool platformCommitOutput(PlatformOutput* output, std::string& reason) {
    if (!output) {
        reason = "not open";
        return false;
    }
    bool ok = true;
    const HANDLE mine = reinterpret_cast<HANDLE>(_get_osfhandle(output->fd));
    // On disk before it gets its name: a full disk shows up here, not later.
    if (!FlushFileBuffers(mine)) {
        reason = lastErrorText();
        ok = false;
    }
    // Still the file we made: the handle's identity against the name's, the
    // name opened without following a link.
    if (ok) {
        const HANDLE there = CreateFileW(widen(output->privatePath).c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        uint64_t v1 = 0, i1 = 0, v2 = 1, i2 = 1;
        ok = there != INVALID_HANDLE_VALUE && fileIdentity(mine, v1, i1) && fileIdentity(there, v2, i2) && v1 == v2 &&
             i1 == i2;
        if (there != INVALID_HANDLE_VALUE) CloseHandle(there);
        if (!ok) reason = "its private file was moved or replaced";
    }
    if (_close(output->fd) != 0 && ok) {
        reason = std::strerror(errno);
        ok = false;
    }
    output->fd = -1;
    // Something other than a regular file may have appeared at the final
    // name since the start; it is left alone.
    DWORD attributes = 0;
    const Kind kind = kindAt(output->finalPath, &attributes);
    if (ok && kind != Kind::File && kind != Kind::Missing) {
        reason = std::string("is now ") + kindWords(kind) + "; only a regular file is replaced";
        ok = false;
    }
    // As on Linux, the folder decides whether a file in it may be replaced:
    // a read-only file there is replaced too, keeping its mark if that fails.
    const bool readOnly = ok && kind == Kind::File && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly) SetFileAttributesW(widen(output->finalPath).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (ok && !MoveFileExW(widen(output->privatePath).c_str(), widen(output->finalPath).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = lastErrorText();
        ok = false;
        if (readOnly) SetFileAttributesW(widen(output->finalPath).c_str(), attributes);
    }
    if (!ok) DeleteFileW(widen(output->privatePath).c_str());
    platformForgetCleanupPath(output->cleanupSlot);
    delete output;
    return ok;
}

void platformDiscardOutput(PlatformOutput* output) {
    if (!output) return;
    if (output->fd >= 0) _close(output->fd);
    DeleteFileW(widen(output->privatePath).c_str());
    platformForgetCleanupPath(output->cleanupSlot);
    delete output;
}
