// uncaught.h - what the exception nobody caught was, for the terminate
// handlers of both sides of the platform layer.
#pragma once

#include <exception>
#include <new>

// True when the exception being handled is std::bad_alloc.
inline bool uncaughtIsOutOfMemory() {
    const std::exception_ptr e = std::current_exception();
    if (!e) return false;
    try {
        std::rethrow_exception(e);
    } catch (const std::bad_alloc&) {
        return true;
    } catch (...) {
    }
    return false;
}
