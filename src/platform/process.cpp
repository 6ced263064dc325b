// process.cpp - a child process fed through a pipe, for the recorder.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

struct PlatformPipe {
    FILE* file = nullptr;
};

PlatformPipe* platformOpenPipe(const std::string& command) {
    // A child that dies must show up as a failed write, not kill the show.
    signal(SIGPIPE, SIG_IGN);
    FILE* f = popen(command.c_str(), "w");
    if (!f) return nullptr;
    return new PlatformPipe{f};
}

bool platformWritePipe(PlatformPipe* pipe, const void* bytes, size_t size) {
    return pipe && pipe->file && std::fwrite(bytes, 1, size, pipe->file) == size;
}

int platformClosePipe(PlatformPipe* pipe) {
    if (!pipe) return -1;
    int status = pipe->file ? pclose(pipe->file) : -1;
    delete pipe;
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool platformHasProgram(const char* name) {
    std::string cmd = std::string("command -v '") + name + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

int platformProcessId() { return static_cast<int>(getpid()); }

bool platformStderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
