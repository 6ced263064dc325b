// read_bounded.h - the whole of an open file, at most maxBytes of it, read
// the same way on every system; each side of the platform layer supplies
// only its own read call. The file may grow while it is read: the limit
// holds all the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

inline std::string megabytes(size_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

// readChunk(buffer, size, reason) gives the bytes it read, 0 at the end, or
// a negative number with the reason set. sizeHint is the size the file
// says it has (0 when unknown): room is made for it only within the limit.
template <typename ReadChunk>
bool readBounded(ReadChunk readChunk, uint64_t sizeHint, size_t maxBytes, std::vector<uint8_t>& bytes,
                 std::string& reason) {
    bytes.clear();
    bool ok = true;
    try {
        if (sizeHint > 0 && sizeHint <= maxBytes) bytes.reserve(static_cast<size_t>(sizeHint));
        uint8_t chunk[1 << 16];
        for (;;) {
            const long n = readChunk(chunk, sizeof chunk, reason);
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) break;
            if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
                reason = "is larger than " + megabytes(maxBytes);
                ok = false;
                break;
            }
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
    } catch (const std::bad_alloc&) {
        reason = "does not fit in memory";
        ok = false;
    }
    if (!ok) bytes = std::vector<uint8_t>();
    return ok;
}
