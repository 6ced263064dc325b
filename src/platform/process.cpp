// process.cpp - a child process fed through a pipe, for the recorder. The
// pipe is written without blocking, so neither a stalled child (stopped, or
// stuck on a full disk) nor a stop signal can leave the show waiting on it.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
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

// Where a child failed before it became the program.
constexpr int kStageDescriptors = 1, kStageExec = 2;

void napMilliseconds(long ms) {
    timespec nap{0, ms * 1000000L};
    nanosleep(&nap, nullptr);  // a signal may cut it short; the caller looks again
}

// Tells the parent, through the report pipe, why the child could not become
// the program: what failed and its errno. Only calls that are safe there.
[[noreturn]] void childFailed(int report, int stage) {
    const int err[2] = {stage, errno};
    const ssize_t ignored = write(report, err, sizeof err);
    (void)ignored;
    _exit(127);
}

// Runs in the child between fork and exec: only calls that are safe there.
// The report pipe closes on a successful exec; else it carries the reason.
[[noreturn]] void becomeChild(const char* program, char* const* argv, int input, const int* passFds,
                              size_t passCount, pid_t parent, int report, int reportEnd) {
    close(reportEnd);  // the parent's end: one descriptor more for the child
    // Its own process group: a Ctrl-C at the terminal reaches the show, which
    // then ends the child itself; and the child dies with the show.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    // Above every place the descriptors go to (0, and 3 on), and no higher,
    // so that a low descriptor limit (ulimit -n) is not spent on the way.
    const int floor = static_cast<int>(3 + passCount);
    // The report pipe first, before any place is taken over.
    if (report < floor) {
        const int moved = fcntl(report, F_DUPFD_CLOEXEC, floor);
        if (moved < 0) childFailed(report, kStageDescriptors);
        report = moved;
    }
    // Out of the way next, so that no descriptor lands on another's place.
    int high[8];
    const int in = fcntl(input, F_DUPFD, floor);
    if (in < 0) childFailed(report, kStageDescriptors);
    for (size_t i = 0; i < passCount; ++i)
        if ((high[i] = fcntl(passFds[i], F_DUPFD, floor)) < 0) childFailed(report, kStageDescriptors);
    if (dup2(in, 0) < 0) childFailed(report, kStageDescriptors);
    for (size_t i = 0; i < passCount; ++i)
        if (dup2(high[i], static_cast<int>(3 + i)) < 0) childFailed(report, kStageDescriptors);
    // Our handlers are not the child's: a signal before the exec must not
    // clean up the parent's files. A dead pipe and an over-size file end the
    // child, as they would any program, and its end is named by the signal;
    // what was ignored on the way in (nohup's hang-up) stays ignored.
    struct sigaction deflt;
    std::memset(&deflt, 0, sizeof deflt);
    deflt.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction old;
        if (sig == SIGKILL || sig == SIGSTOP || sigaction(sig, nullptr, &old) != 0) continue;
        if (old.sa_handler != SIG_IGN || sig == SIGPIPE || sig == SIGXFSZ) sigaction(sig, &deflt, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(program, argv);
    childFailed(report, kStageExec);
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
    auto noDescriptors = [](int err) {
        return std::string(std::strerror(err)) + (err == EMFILE ? " (the limit is ulimit -n)" : "");
    };
    int ends[2], report[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        reason = noDescriptors(errno);
        return nullptr;
    }
    if (pipe2(report, O_CLOEXEC) != 0) {
        reason = noDescriptors(errno);
        close(ends[0]);
        close(ends[1]);
        return nullptr;
    }
    const pid_t parent = getpid();
    // No signal is taken between the fork and the child's own handlers.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    const pid_t pid = fork();
    if (pid == 0) {
        becomeChild(program.c_str(), argv.data(), ends[0], passFds.data(), passFds.size(), parent, report[1],
                    report[0]);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    close(ends[0]);
    close(report[1]);
    if (pid < 0) {
        reason = std::strerror(errno);
        close(ends[1]);
        close(report[0]);
        return nullptr;
    }
    // The report pipe closes at the exec; a reason on it means there was none.
    int failed[2] = {0, 0};
    ssize_t got;
    do {
        got = read(report[0], failed, sizeof failed);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof failed)) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        close(ends[1]);
        reason = std::string(failed[0] == kStageExec ? "cannot run " + program + ": " : "no descriptors left for it: ") +
                 std::strerror(failed[1]);
        if (failed[1] == EMFILE || failed[1] == ENFILE) reason += " (the limit is ulimit -n)";
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

ChildEnd platformClosePipe(PlatformPipe* pipe, bool abandon, double waitSeconds, double noticeSeconds,
                           void (*notice)()) {
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
    bool noticed = false;
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
        if (!killed && !noticed && notice && monotonicSeconds() - start > noticeSeconds) {
            noticed = true;
            notice();
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

bool platformStderrIsTerminal() { return isatty(platformStandardErrorFd()) == 1; }
