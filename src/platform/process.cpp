// process.cpp - a child process fed through a pipe, for the recorder. The
// pipe is written without blocking, so neither a stalled child (stopped, or
// stuck on a full disk) nor a stop signal can leave the show waiting on it.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/signals.h"

struct PlatformPipe {
    pid_t pid = -1;
    int fd = -1;  // our end: the child's standard input
};

namespace {

double monotonicSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void napMilliseconds(long ms) {
    timespec nap{0, ms * 1000000L};
    nanosleep(&nap, nullptr);  // a signal may cut it short; the caller looks again
}

// Runs in the child between fork and exec: only calls that are safe there.
[[noreturn]] void becomeChild(const char* program, char* const* argv, int input, const int* passFds,
                              size_t passCount, pid_t parent) {
    // Its own process group: a Ctrl-C at the terminal reaches the show, which
    // then ends the child itself; and the child dies with the show.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    // Out of the way first, so that no descriptor lands on another's place.
    int high[8];
    const int in = fcntl(input, F_DUPFD, 10);
    for (size_t i = 0; i < passCount; ++i) high[i] = fcntl(passFds[i], F_DUPFD, 10);
    if (in < 0 || dup2(in, 0) < 0) _exit(127);
    for (size_t i = 0; i < passCount; ++i)
        if (high[i] < 0 || dup2(high[i], static_cast<int>(3 + i)) < 0) _exit(127);
    struct sigaction deflt;
    std::memset(&deflt, 0, sizeof deflt);
    deflt.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &deflt, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(program, argv);
    _exit(127);
}

}  // namespace

PlatformPipe* platformOpenPipe(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<int>& passFds, std::string& reason) {
    if (passFds.size() > 6) {
        reason = "too many descriptors to pass";
        return nullptr;
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        reason = std::strerror(errno);
        return nullptr;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) becomeChild(program.c_str(), argv.data(), ends[0], passFds.data(), passFds.size(), parent);
    close(ends[0]);
    if (pid < 0) {
        reason = std::strerror(errno);
        close(ends[1]);
        return nullptr;
    }
    platformRegisterCleanupChild(pid);
    // A larger pipe when allowed: fewer wake-ups per frame.
    fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);
    fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    auto* p = new PlatformPipe;
    p->pid = pid;
    p->fd = ends[1];
    return p;
}

PipeWrite platformWritePipe(PlatformPipe* pipe, const void* bytes, size_t size, double stallSeconds) {
    if (!pipe || pipe->fd < 0) return PipeWrite::ChildGone;
    const char* p = static_cast<const char*>(bytes);
    double lastProgress = monotonicSeconds();
    while (size > 0) {
        if (platformStopSignal()) return PipeWrite::Stopped;
        const ssize_t n = write(pipe->fd, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            lastProgress = monotonicSeconds();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Short waits, so that a stop signal is seen within a few of them.
            pollfd pfd{pipe->fd, POLLOUT, 0};
            poll(&pfd, 1, 20);
            if (monotonicSeconds() - lastProgress > stallSeconds) return PipeWrite::Stalled;
            continue;
        }
        return PipeWrite::ChildGone;
    }
    return PipeWrite::Ok;
}

ChildEnd platformClosePipe(PlatformPipe* pipe, bool abandon, double waitSeconds) {
    ChildEnd end;
    if (!pipe) return end;
    if (pipe->fd >= 0) close(pipe->fd);  // end of input: the child finishes its file
    const double start = monotonicSeconds();
    bool killed = false;
    if (abandon) {
        kill(pipe->pid, SIGKILL);  // works on a stopped child too
        killed = true;
    }
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pipe->pid, &status, WNOHANG);
        if (r == pipe->pid) break;
        if (r < 0 && errno != EINTR) {
            status = -1;
            break;
        }
        if (!killed && (platformStopSignal() || monotonicSeconds() - start > waitSeconds)) {
            end.timedOut = !platformStopSignal();
            kill(pipe->pid, SIGKILL);
            killed = true;
        }
        napMilliseconds(5);
    }
    platformRegisterCleanupChild(0);
    end.killed = killed;
    if (status != -1 && WIFEXITED(status)) {
        end.exited = true;
        end.code = WEXITSTATUS(status);
    } else if (status != -1 && WIFSIGNALED(status)) {
        end.signal = WTERMSIG(status);
    }
    delete pipe;
    return end;
}

std::string platformFindProgram(const char* name) {
    if (!name || !*name) return "";
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t colon = dirs.find(':', start);
        std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos) return "";
        start = colon + 1;
    }
}

std::string platformDescriptorPath(int childFd) {
    return access("/proc/self/fd", X_OK) == 0 ? "/proc/self/fd/" + std::to_string(childFd) : "";
}

bool platformStderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

const char* platformSignalName(int sig) {
    switch (sig) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        case SIGQUIT:
            return "SIGQUIT";
        case SIGKILL:
            return "SIGKILL";
        case SIGSEGV:
            return "SIGSEGV";
        case SIGABRT:
            return "SIGABRT";
        case SIGPIPE:
            return "SIGPIPE";
        case SIGBUS:
            return "SIGBUS";
        default:
            return "a signal";
    }
}
