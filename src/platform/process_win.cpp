// process_win.cpp - the Windows side of the recorder's child process. The
// child reads a named pipe on its standard input; our end is written
// overlapped, in short waits, so neither a stalled child nor a stop leaves
// the show waiting on it. The child runs in a job that kills it when the
// program ends, however it ends. Windows passes no descriptors beyond the
// standard three: the child opens the track and the output by name.
#include <io.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/signals.h"
#include "platform/win32.h"

struct PlatformPipe {
    HANDLE process = nullptr;
    DWORD pid = 0;
    HANDLE pipe = INVALID_HANDLE_VALUE;  // our end: the child's standard input
    HANDLE written = nullptr;            // the event of the write under way
};

namespace {

HANDLE childJob = nullptr;  // kills its processes when its last handle closes: ours, at exit

double nowSeconds() { return static_cast<double>(GetTickCount64()) / 1000.0; }

// One argument quoted as CommandLineToArgvW and the C runtime read it back.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
        else out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

HANDLE jobForChildren() {
    if (childJob) return childJob;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    childJob = job;
    return job;
}

bool isFile(const std::string& path) {
    const DWORD a = GetFileAttributesW(widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

PlatformPipe* platformOpenPipe(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<int>&, std::string& reason) {
    std::wstring commandLine;
    for (const std::string& a : args) commandLine += (commandLine.empty() ? L"" : L" ") + quoted(widen(a));
    // A pipe of our own name, so that our end can be written overlapped.
    static LONG serial = 0;
    const std::wstring name = L"\\\\.\\pipe\\baubles-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(InterlockedIncrement(&serial)) + L"-" + std::to_wstring(GetTickCount64());
    const HANDLE ours = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 1 << 20, 0, 0, nullptr);
    if (ours == INVALID_HANDLE_VALUE) {
        reason = windowsErrorText(GetLastError());
        return nullptr;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE theirs = CreateFileW(name.c_str(), GENERIC_READ, 0, &inherit, OPEN_EXISTING, 0, nullptr);
    if (theirs == INVALID_HANDLE_VALUE) {
        reason = windowsErrorText(GetLastError());
        CloseHandle(ours);
        return nullptr;
    }
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = theirs;
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = reinterpret_cast<HANDLE>(_get_osfhandle(platformStandardErrorFd()));
    PROCESS_INFORMATION child{};
    std::wstring writable = commandLine;
    // Suspended until it is in the job, so not one of its own children escapes it.
    const BOOL started = CreateProcessW(widen(program).c_str(), &writable[0], nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &start, &child);
    const DWORD err = GetLastError();
    CloseHandle(theirs);
    if (!started) {
        reason = "cannot run " + program + ": " + windowsErrorText(err);
        CloseHandle(ours);
        return nullptr;
    }
    if (HANDLE job = jobForChildren()) AssignProcessToJobObject(job, child.hProcess);
    ResumeThread(child.hThread);
    CloseHandle(child.hThread);
    platformRegisterCleanupChild(static_cast<pid_t>(child.dwProcessId));
    auto* p = new PlatformPipe;
    p->process = child.hProcess;
    p->pid = child.dwProcessId;
    p->pipe = ours;
    p->written = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return p;
}

PipeWrite platformWritePipe(PlatformPipe* pipe, const void* bytes, size_t size, double stallSeconds) {
    if (!pipe || pipe->pipe == INVALID_HANDLE_VALUE || !pipe->written) return PipeWrite::ChildGone;
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        if (platformStopSignal()) return PipeWrite::Stopped;
        OVERLAPPED op{};
        op.hEvent = pipe->written;
        ResetEvent(pipe->written);
        const DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(pipe->pipe, p, chunk, nullptr, &op) && GetLastError() != ERROR_IO_PENDING)
            return PipeWrite::ChildGone;
        // Short waits, so that a stop is seen within a few of them; the
        // clock of a stall restarts with every write that completes.
        const double started = nowSeconds();
        PipeWrite outcome = PipeWrite::Ok;
        while (WaitForSingleObject(pipe->written, 20) == WAIT_TIMEOUT) {
            if (platformStopSignal()) outcome = PipeWrite::Stopped;
            else if (nowSeconds() - started > stallSeconds) outcome = PipeWrite::Stalled;
            if (outcome != PipeWrite::Ok) break;
        }
        if (outcome != PipeWrite::Ok) {
            CancelIoEx(pipe->pipe, &op);
            GetOverlappedResult(pipe->pipe, &op, &done, TRUE);
            return outcome;
        }
        if (!GetOverlappedResult(pipe->pipe, &op, &done, FALSE) || done == 0) return PipeWrite::ChildGone;
        p += done;
        size -= done;
    }
    return PipeWrite::Ok;
}

ChildEnd platformClosePipe(PlatformPipe* pipe, bool abandon, double waitSeconds, double noticeSeconds,
                           void (*notice)()) {
    ChildEnd end;
    if (!pipe) return end;
    if (pipe->pipe != INVALID_HANDLE_VALUE) CloseHandle(pipe->pipe);  // end of input: the child finishes its file
    if (pipe->written) CloseHandle(pipe->written);
    const double start = nowSeconds();
    bool killed = false;
    if (abandon) {
        TerminateProcess(pipe->process, 128 + 9);
        killed = true;
    }
    bool noticed = false;
    bool waited = true;
    for (;;) {
        const DWORD r = WaitForSingleObject(pipe->process, 5);
        if (r == WAIT_OBJECT_0) break;
        if (r == WAIT_FAILED) {
            waited = false;
            break;
        }
        if (!killed && (platformStopSignal() || nowSeconds() - start > waitSeconds)) {
            end.timedOut = !platformStopSignal();
            TerminateProcess(pipe->process, 128 + 9);
            killed = true;
        }
        if (!killed && !noticed && notice && nowSeconds() - start > noticeSeconds) {
            noticed = true;
            notice();
        }
    }
    platformRegisterCleanupChild(0);
    end.killed = killed;
    DWORD code = 0;
    if (waited && GetExitCodeProcess(pipe->process, &code)) {
        if (killed) {
            end.signal = 9;
        } else if (code >= 0xC0000000u) {
            end.signal = code == 0xC000001Du ? 4 : (code == 0xC0000094u || code == 0xC0000095u) ? 8 : 11;
        } else {
            end.exited = true;
            end.code = static_cast<int>(code);
        }
    }
    CloseHandle(pipe->process);
    delete pipe;
    return end;
}

std::string platformFindProgram(const char* name) {
    if (!name || !*name) return "";
    const wchar_t* path = _wgetenv(L"PATH");
    if (!path) return "";
    const std::string dirs = narrow(path);
    const std::string base = name;
    const bool hasExtension = base.find('.') != std::string::npos;
    size_t start = 0;
    for (;;) {
        const size_t semicolon = dirs.find(';', start);
        std::string dir = dirs.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start);
        if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
        if (!dir.empty()) {
            const std::string candidate = dir + (dir.back() == '\\' || dir.back() == '/' ? "" : "\\") + base;
            if (!hasExtension && isFile(candidate + ".exe")) return candidate + ".exe";
            if (hasExtension && isFile(candidate)) return candidate;
        }
        if (semicolon == std::string::npos) return "";
        start = semicolon + 1;
    }
}

std::string platformDescriptorPath(int) { return ""; }

bool platformStderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(platformStandardErrorFd())), &mode) != 0;
}
