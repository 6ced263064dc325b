// memory_win.cpp - the Windows side of the memory check: whether the
// address space can be had (reserved for a moment, never touched) and the
// part the show keeps resident fits in what the machine can still commit.
#include <string>

#include "platform/platform.h"
#include "platform/win32.h"

namespace {

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }

}  // namespace

bool platformCheckMemory(uint64_t bytes, uint64_t residentBytes, std::string& reason) {
    void* room = VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes), MEM_RESERVE, PAGE_NOACCESS);
    if (!room) {
        reason = "the start-up load and the frames need about " + megabytes(bytes) + " more, and the system refuses it";
        return false;
    }
    VirtualFree(room, 0, MEM_RELEASE);
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status) && status.ullAvailPageFile > 0 && residentBytes > status.ullAvailPageFile) {
        reason = "the show needs about " + megabytes(residentBytes) + " and the machine has " +
                 megabytes(status.ullAvailPageFile) + " available";
        return false;
    }
    return true;
}
