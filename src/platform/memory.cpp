// memory.cpp - whether the memory the show is about to need can be had,
// asked before the start-up load and the GL driver's allocations, so that a
// limit ends the program with a line instead of a crash inside the driver.
#include <sys/mman.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }

// MemAvailable and SwapFree from /proc/meminfo, in bytes; 0 when unknown.
uint64_t machineAvailable() {
    std::FILE* f = std::fopen("/proc/meminfo", "re");
    if (!f) return 0;
    char line[128];
    unsigned long long kb = 0, total = 0;
    bool found = false;
    while (std::fgets(line, sizeof line, f)) {
        if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1 || std::sscanf(line, "SwapFree: %llu kB", &kb) == 1) {
            total += kb;
            found = true;
        }
    }
    std::fclose(f);
    return found ? total * 1024 : 0;
}

}  // namespace

bool platformCheckMemory(uint64_t bytes, uint64_t residentBytes, std::string& reason) {
    // The limits count address space (ulimit -v) and private writable
    // memory (ulimit -d): a mapping of that size is either granted or not,
    // and is given back untouched.
    struct rlimit as{}, data{};
    const bool limited = (getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) ||
                         (getrlimit(RLIMIT_DATA, &data) == 0 && data.rlim_cur != RLIM_INFINITY);
    void* room = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (room == MAP_FAILED) {
        if (as.rlim_cur != RLIM_INFINITY)
            reason = "the start-up load and the frames need about " + megabytes(bytes) +
                     " more, and the memory limit (ulimit -v) of " + megabytes(as.rlim_cur) + " leaves less";
        else if (limited)
            reason = "the start-up load and the frames need about " + megabytes(bytes) +
                     " more, and the data limit (ulimit -d) of " + megabytes(data.rlim_cur) + " leaves less";
        else
            reason = "the start-up load and the frames need about " + megabytes(bytes) + " more, and the system refuses it";
        return false;
    }
    munmap(room, bytes);
    // Without a limit, the machine's memory is the limit.
    const uint64_t available = machineAvailable();
    if (available > 0 && residentBytes > available) {
        reason = "the show needs about " + megabytes(residentBytes) + " and the machine has " + megabytes(available) +
                 " available";
        return false;
    }
    return true;
}
