// files.cpp - reading regular files only, and writing outputs through a
// private file that is renamed into place.
#include "platform/files.h"
#include "platform/read_bounded.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include <SDL.h>

#include "platform/platform_internal.h"
#include "platform/signals.h"

struct PlatformOutput {
    int fd = -1;
    int cleanupSlot = -1;
    std::string privatePath;
    std::string finalPath;
};

namespace {

// What a file that is not a regular file is, in words.
std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISLNK(mode)) return "a symbolic link";
    return "not a regular file";
}

std::string errnoText(int err) {
    // SIGXFSZ is ignored (platform/signals.h): a write past ulimit -f fails.
    if (err == EFBIG) return "the file size limit was reached";
    return std::strerror(err);
}

// The folder and the last component of a path; an empty name when the path
// ends in a slash.
void splitPath(const std::string& path, std::string& dir, std::string& name) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        dir = ".";
        name = path;
    } else {
        dir = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

// Eight letters and digits no one can guess beforehand.
std::string randomTag() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[8];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t mix =
            static_cast<uint64_t>(now.tv_nsec) * 6364136223846793005ull ^ static_cast<uint64_t>(getpid());
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(mix >>= 7);
    }
    std::string tag;
    for (unsigned char b : bytes) tag += kLetters[b % (sizeof kLetters - 1)];
    return tag;
}

bool writeAll(int fd, const void* bytes, size_t size, std::string& reason) {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            reason = errnoText(n < 0 ? errno : ENOSPC);
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Whether the last component names a folder rather than a file.
bool namesFolder(const std::string& name) { return name.empty() || name == "." || name == ".."; }

}  // namespace

void platformOpenStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

int platformOpenRegularFile(const char* path, size_t maxBytes, bool& missing, std::string& reason) {
    missing = false;
    struct stat st;
    // Looked at before opening, so a device is never opened at all; the
    // descriptor is checked again below, as the name may change meanwhile.
    if (stat(path, &st) != 0) {
        missing = errno == ENOENT || errno == ENOTDIR;
        reason = missing ? "is not there" : "cannot be opened: " + errnoText(errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "is " + kindOf(st.st_mode) + ", not a regular file";
        return -1;
    }
    // Non-blocking: a FIFO put there after the check must not hang the open.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        missing = errno == ENOENT || errno == ENOTDIR;
        reason = missing ? "is not there" : "cannot be opened: " + errnoText(errno);
        return -1;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = "is " + kindOf(st.st_mode) + ", not a regular file";
        close(fd);
        return -1;
    }
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        reason = "is larger than " + megabytes(maxBytes);
        close(fd);
        return -1;
    }
    return fd;
}

std::string platformAssetFile(const std::string& name) {
    if (platform.assetDir.empty() || name.empty() || name[0] == '/') return name;
    return platform.assetDir + "/" + name;
}

namespace {
bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool holdsAssets(const std::string& dir) {
    const std::string prefix = dir.empty() ? "" : dir + "/";
    return isFolder(prefix + "Images") && isFolder(prefix + "muzyka");
}
}  // namespace

bool platformFindAssets(std::string& lookedAt) {
    std::vector<std::string> places = {""};
    if (char* base = SDL_GetBasePath()) {
        const std::string exeDir = base;  // ends with a slash
        SDL_free(base);
        places.push_back(exeDir + "data");
        places.push_back(exeDir + "../data");  // the build tree, from a benchmark's or test's folder
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

FileRead platformReadFile(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes,
                          std::string& reason) {
    bytes.clear();
    bool missing = false;
    const int fd = platformOpenRegularFile(platformAssetFile(path).c_str(), maxBytes, missing, reason);
    if (fd < 0) return missing ? FileRead::Missing : FileRead::Refused;
    const bool ok = platformReadOpenFile(fd, maxBytes, bytes, reason);
    close(fd);
    return ok ? FileRead::Ok : FileRead::Refused;
}

bool platformReadOpenFile(int fd, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason) {
    struct stat st;
    const uint64_t size = fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    return readBounded(
        [fd](uint8_t* chunk, size_t room, std::string& why) -> long {
            for (;;) {
                const ssize_t n = read(fd, chunk, room);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) why = "cannot be read: " + errnoText(errno);
                return static_cast<long>(n);
            }
        },
        size, maxBytes, bytes, reason);
}

void platformCloseFile(int fd) {
    if (fd >= 0) close(fd);
}

bool platformMakeFolders(const std::string& dir, std::string& reason) {
    if (dir.empty()) {
        reason = "no folder name given";
        return false;
    }
    // What this call made, taken away again if a later part fails.
    std::vector<std::string> made;
    for (size_t end = dir.find('/', 1);; end = dir.find('/', end + 1)) {
        const std::string part = dir.substr(0, end);
        if (!part.empty() && mkdir(part.c_str(), 0777) == 0) {
            made.push_back(part);
        } else if (!part.empty() && errno != EEXIST) {
            reason = errnoText(errno);
            for (auto it = made.rbegin(); it != made.rend(); ++it) rmdir(it->c_str());
            return false;
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
    // The longest private name made inside: ".NAME.XXXXXXXX".
    if (dir.size() + 1 + longestName + 10 >= PATH_MAX) {
        reason = "is too long: a path has at most " + std::to_string(PATH_MAX - 1) + " bytes";
        return false;
    }
    std::string existing = dir[0] == '/' ? "/" : ".";
    bool missing = false;
    for (size_t start = 0; start <= dir.size();) {
        size_t end = dir.find('/', start);
        if (end == std::string::npos) end = dir.size();
        const std::string name = dir.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        if (name.size() > NAME_MAX) {
            reason = "has a part longer than " + std::to_string(NAME_MAX) + " bytes: " + name.substr(0, 40) + "...";
            return false;
        }
        if (missing) continue;
        const std::string part = dir.substr(0, end);
        struct stat st;
        if (stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                reason = part + " is " + kindOf(st.st_mode) + ", not a folder";
                return false;
            }
            existing = part;
        } else if (errno == ENOENT) {
            missing = true;
        } else {
            reason = part + ": " + errnoText(errno);
            return false;
        }
    }
    if (!missing) return true;
    // The deepest folder that is there must take new entries: only creating
    // one tells for sure, and the probe goes again at once.
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
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        reason = errnoText(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        reason = "is " + kindOf(st.st_mode) + ", not a folder";
        return false;
    }
    // Only creating a file tells for sure (permissions, ACLs, a read-only mount).
    PlatformOutput* probe = platformCreateOutput(dir + "/probe", reason);
    if (!probe) return false;
    platformDiscardOutput(probe);
    return true;
}

namespace {

// Whether the process may remove or replace other users' files regardless
// of a sticky folder (CAP_FOWNER, as root has).
bool ownsAnyFile() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return geteuid() == 0;
    return (data[CAP_FOWNER / 32].effective & (1u << (CAP_FOWNER % 32))) != 0;
}

// Whether renaming a file of ours onto path, an existing regular file in
// dir, would be allowed, as the kernel decides it for a rename: the folder
// taking new entries is proved by creating one; beyond that, a sticky
// folder (/tmp) lets only the file's owner, the folder's owner or a process
// with CAP_FOWNER replace a file, an immutable or append-only file is
// replaced by no one, and a file mounted over is busy.
bool replaceable(const std::string& path, const struct stat& file, const std::string& dir, std::string& reason) {
    struct stat folder;
    if (stat(dir.c_str(), &folder) != 0) {
        reason = errnoText(errno);
        return false;
    }
    const uid_t me = geteuid();
    if ((folder.st_mode & S_ISVTX) && file.st_uid != me && folder.st_uid != me && !ownsAnyFile()) {
        reason = "belongs to another user in a folder where only a file's owner may replace it (the sticky bit, as in /tmp)";
        return false;
    }
    if (file.st_dev != folder.st_dev) {
        reason = "has a file system mounted on it";
        return false;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        int flags = 0;
        const bool known = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        close(fd);
        if (known && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL))) {
            reason = std::string("is ") + (flags & FS_IMMUTABLE_FL ? "immutable" : "append-only") +
                     " (chattr): no one may replace it";
            return false;
        }
    }
    return true;
}

}  // namespace

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
    struct stat st;
    bool exists = false;
    if (lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            reason = "is a symbolic link; only a regular file is replaced";
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            reason = "is " + kindOf(st.st_mode) + "; only a regular file is replaced";
            return false;
        }
        exists = true;
    } else if (errno != ENOENT) {
        reason = errnoText(errno);
        return false;
    }
    if (!platformCheckOutputFolder(dir, reason)) return false;
    return !exists || replaceable(path, st, dir, reason);
}

PlatformOutput* platformCreateOutput(const std::string& finalPath, std::string& reason) {
    std::string dir, name;
    splitPath(finalPath, dir, name);
    if (namesFolder(name)) {
        reason = "names a folder, not a file";
        return nullptr;
    }
    // Room for the dot and the tag within a name's 255 bytes.
    const std::string stem = dir + "/." + name.substr(0, 200) + ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string candidate = stem + randomTag();
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EINTR) continue;
        if (fd < 0 && errno == EEXIST) continue;  // someone else's name: draw another
        if (fd < 0) {
            reason = errnoText(errno);
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
    // On disk before it gets its name: a full disk shows up here, not later.
    if (fsync(output->fd) != 0) {
        reason = errnoText(errno);
        ok = false;
    }
    struct stat mine, there;
    if (ok && (fstat(output->fd, &mine) != 0 || lstat(output->privatePath.c_str(), &there) != 0 ||
               mine.st_dev != there.st_dev || mine.st_ino != there.st_ino)) {
        reason = "its private file was moved or replaced";
        ok = false;
    }
    if (close(output->fd) != 0 && ok) {
        reason = errnoText(errno);
        ok = false;
    }
    output->fd = -1;
    // Something other than a regular file may have appeared at the final name
    // since the start; it is left alone.
    if (ok && lstat(output->finalPath.c_str(), &there) == 0 && !S_ISREG(there.st_mode)) {
        reason = "is now " + kindOf(there.st_mode) + "; only a regular file is replaced";
        ok = false;
    }
    if (ok && rename(output->privatePath.c_str(), output->finalPath.c_str()) != 0) {
        reason = errnoText(errno);
        ok = false;
    }
    if (!ok) unlink(output->privatePath.c_str());
    platformForgetCleanupPath(output->cleanupSlot);
    delete output;
    return ok;
}

void platformDiscardOutput(PlatformOutput* output) {
    if (!output) return;
    if (output->fd >= 0) close(output->fd);
    unlink(output->privatePath.c_str());
    platformForgetCleanupPath(output->cleanupSlot);
    delete output;
}
