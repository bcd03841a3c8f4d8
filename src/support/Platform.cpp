#include "support/Platform.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#include <io.h>
#include <string>
#include <windows.h>

namespace corvix {
bool RunningAsRoot() { return false; }

std::FILE *OpenFile(const std::filesystem::path &path, const char *mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

bool SyncToDisk(int fileNumber)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fileNumber));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}

// NTFS journals its names: a rename that returned is kept.
bool SyncDirectory(const std::filesystem::path &) { return true; }

FileLockState LockFile(const std::filesystem::path &path, std::intptr_t *handle, std::error_code *error)
{
    // A link in the lock file's place (a symbolic link or junction, or a name
    // that shares its file with another) is replaced by a file of its own: the
    // lock writes who holds it, and that must never land in another file.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            *error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
            return FileLockState::Failed;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(file, &info)) {
            *error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
            CloseHandle(file);
            return FileLockState::Failed;
        }
        if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            CloseHandle(file);
            if (!DeleteFileW(path.c_str())) {
                *error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
                return FileLockState::Failed;
            }
            continue;
        }
        // The locked byte lies far beyond the content, so that others can still
        // read who holds the file.
        OVERLAPPED at{};
        at.OffsetHigh = 1;
        if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            const DWORD code = GetLastError();
            CloseHandle(file);
            if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
                return FileLockState::HeldElsewhere;
            *error = std::error_code(static_cast<int>(code), std::system_category());
            return FileLockState::Failed;
        }
        if (info.nNumberOfLinks <= 1) {
            *handle = reinterpret_cast<std::intptr_t>(file);
            return FileLockState::Locked;
        }
        // Only this name goes: the file keeps its other names and its bytes.
        CloseHandle(file);
        if (!DeleteFileW(path.c_str())) {
            *error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
            return FileLockState::Failed;
        }
    }
    *error = std::make_error_code(std::errc::resource_unavailable_try_again);
    return FileLockState::Failed;
}

bool WriteLockedFile(std::intptr_t handle, std::string_view text)
{
    const auto file = reinterpret_cast<HANDLE>(handle);
    DWORD written = 0;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && SetEndOfFile(file)
           && WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
           && written == text.size();
}

void UnlockFile(std::intptr_t handle, const std::filesystem::path &)
{
    // An open file cannot be removed here; emptied, it names no holder.
    const auto file = reinterpret_cast<HANDLE>(handle);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}
std::intptr_t ListenOnLoopback(std::uint16_t *port)
{
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return -1;
    const SOCKET listener = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (listener == INVALID_SOCKET)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
        || listen(listener, SOMAXCONN) != 0
        || getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        closesocket(listener);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return static_cast<std::intptr_t>(listener);
}
} // namespace corvix
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvix {
bool RunningAsRoot() { return geteuid() == 0; }

std::FILE *OpenFile(const std::filesystem::path &path, const char *mode)
{
    return std::fopen(path.c_str(), mode);
}

bool SyncToDisk(int fileNumber)
{
    return fileNumber >= 0 && ::fsync(fileNumber) == 0;
}

bool SyncDirectory(const std::filesystem::path &dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

namespace {

int OpenLockFile(const std::filesystem::path &path)
{
    // Nonblocking, so that a pipe put in its place cannot hang the start; never
    // through a symbolic link, so that the lock writes into no other file.
    const int flags = O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0644);
    if (fd >= 0 || (errno != EACCES && errno != EROFS))
        return fd;
    return ::open(path.c_str(), O_RDONLY | flags);
}

bool SameFile(int fd, const std::filesystem::path &path)
{
    struct stat opened {}, named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev
           && opened.st_ino == named.st_ino;
}

// Whether path is a symbolic link, which the lock file never is.
bool IsSymbolicLink(const std::filesystem::path &path)
{
    struct stat named {};
    return ::lstat(path.c_str(), &named) == 0 && S_ISLNK(named.st_mode);
}

} // namespace

FileLockState LockFile(const std::filesystem::path &path, std::intptr_t *handle, std::error_code *error)
{
    // A holder that is ending removes the file while it holds it: a file
    // opened just before that is locked in vain and is opened again. A link
    // in the lock file's place (a symbolic link, or a name that shares its
    // file with another) is replaced by a file of its own: the lock writes who
    // holds it, and that must never land in the file the link leads to.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = OpenLockFile(path);
        if (fd < 0) {
            const int code = errno;
            if (code == ELOOP && IsSymbolicLink(path) && ::unlink(path.c_str()) == 0)
                continue;
            *error = std::error_code(code, std::generic_category());
            return FileLockState::Failed;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            *error = std::make_error_code(std::errc::not_supported);
            return FileLockState::Failed;
        }
        // Locked before a shared file is given up: a live holder keeps the
        // root, even if a backup has linked its lock file elsewhere.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            ::close(fd);
            if (code == EWOULDBLOCK)
                return FileLockState::HeldElsewhere;
            *error = std::error_code(code, std::generic_category());
            return FileLockState::Failed;
        }
        const bool shared = ::fstat(fd, &opened) != 0 || opened.st_nlink != 1;
        if (SameFile(fd, path) && !shared) {
            *handle = fd;
            return FileLockState::Locked;
        }
        // Only this name goes: the file keeps its other names and its bytes.
        if (shared && SameFile(fd, path) && ::unlink(path.c_str()) != 0) {
            *error = std::error_code(errno, std::generic_category());
            ::close(fd);
            return FileLockState::Failed;
        }
        ::close(fd);
    }
    *error = std::make_error_code(std::errc::resource_unavailable_try_again);
    return FileLockState::Failed;
}

bool WriteLockedFile(std::intptr_t handle, std::string_view text)
{
    const int fd = static_cast<int>(handle);
    return ::ftruncate(fd, 0) == 0
           && ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

void UnlockFile(std::intptr_t handle, const std::filesystem::path &path)
{
    const int fd = static_cast<int>(handle);
    if (SameFile(fd, path))
        ::unlink(path.c_str());
    ::close(fd);
}
std::intptr_t ListenOnLoopback(std::uint16_t *port)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
        || ::listen(listener, SOMAXCONN) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        ::close(listener);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return listener;
}
} // namespace corvix
#endif

// Stop requests from the system (see WatchStopRequests).
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <vector>

#if !defined(_WIN32)
#include <QSocketNotifier>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace corvix {
namespace {

std::atomic<int> requests{0};

#if defined(_WIN32)

QPointer<QObject> target;
std::function<void()> handler;

// The job of the command RunShellCommand waits for (null: none).
std::atomic<HANDLE> commandJob{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD)
{
    if (requests.fetch_add(1) > 0) {
        if (const HANDLE job = commandJob.load())
            TerminateJobObject(job, 130);
        std::_Exit(130);
    }
    // This runs on a thread of its own: the program hears of it in its event loop.
    QMetaObject::invokeMethod(target.data(), [] { if (handler) handler(); }, Qt::QueuedConnection);
    return TRUE;
}

#else

int wakeFds[2] = {-1, -1};
// The process group of the command RunShellCommand waits for (0: none).
std::atomic<pid_t> commandGroup{0};

// Only what is safe in a signal handler: an atomic count, kill(2), write(2), _exit(2).
void OnSignal(int signal)
{
    if (requests.fetch_add(1) > 0) {
        // The command goes with the program, not after it.
        if (const pid_t group = commandGroup.load(); group > 0)
            kill(-group, SIGKILL);
        _exit(128 + signal);
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFds[1], &byte, 1);
}

#endif

} // namespace

void WatchStopRequests(QObject *context, std::function<void()> onStop)
{
    requests = 0;
#if defined(_WIN32)
    target = context;
    handler = std::move(onStop);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    if (wakeFds[0] < 0 && pipe(wakeFds) != 0)
        return;
    auto *notifier = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, onStop = std::move(onStop)] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(wakeFds[0], &byte, 1);
        notifier->setEnabled(false);
        onStop();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
#endif
}

bool StopRequested()
{
    return requests.load() > 0;
}

// How long an ended command's group has to go after SIGTERM before it is killed.
constexpr auto kCommandGrace = std::chrono::seconds(2);
// How often the wait for a command looks at the time and at stop requests.
constexpr int kCommandPollMs = 20;

#if defined(_WIN32)

namespace {

std::wstring Wide(const std::string &text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

HANDLE InheritableCopy(HANDLE handle)
{
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE
        || !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

} // namespace

CommandEnd RunShellCommand(const std::string &command, std::string_view input, int seconds)
{
    const int requestsBefore = requests.load();
    // The pipe holds the whole input, so that writing it never waits for the command.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readIn = nullptr, writeIn = nullptr;
    if (!CreatePipe(&readIn, &writeIn, &inheritable, static_cast<DWORD>(input.size() + 4096)))
        return {};
    SetHandleInformation(writeIn, HANDLE_FLAG_INHERIT, 0);
    HANDLE out = InheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE));
    HANDLE err = InheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
    // Only these three handles reach the command, none of the browser's.
    std::vector<HANDLE> handles{readIn};
    for (const HANDLE handle : {out, err})
        if (handle != nullptr)
            handles.push_back(handle);
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributeBytes(size);
    auto *attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBytes.data());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = readIn;
    startup.StartupInfo.hStdOutput = out;
    startup.StartupInfo.hStdError = err;
    const bool listed = InitializeProcThreadAttributeList(attributes, 1, 0, &size)
                        && UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                                     handles.size() * sizeof(HANDLE), nullptr, nullptr);
    startup.lpAttributeList = listed ? attributes : nullptr;
    std::wstring line = L"cmd.exe /d /s /c \"" + Wide(command) + L"\"";
    PROCESS_INFORMATION process{};
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    const bool started =
        job != nullptr && listed
        && SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))
        && CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                          EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                          &startup.StartupInfo, &process);
    if (listed)
        DeleteProcThreadAttributeList(attributes);
    for (const HANDLE handle : {readIn, out, err})
        if (handle != nullptr)
            CloseHandle(handle);
    if (!started) {
        CloseHandle(writeIn);
        if (job != nullptr)
            CloseHandle(job);
        return {};
    }
    // In its job before it runs, so that whatever it starts is in the job too.
    AssignProcessToJobObject(job, process.hProcess);
    commandJob = job;
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    DWORD written = 0;
    WriteFile(writeIn, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(writeIn);

    CommandEnd end;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (WaitForSingleObject(process.hProcess, kCommandPollMs) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            end = {CommandEnd::Exited, static_cast<int>(code)};
            break;
        }
        const bool stop = requests.load() > requestsBefore;
        if (stop || std::chrono::steady_clock::now() >= deadline) {
            end.kind = stop ? CommandEnd::Stopped : CommandEnd::TimedOut;
            // Asked first, as a console program is (Ctrl-Break to its group), then ended with its job.
            GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, process.dwProcessId);
            WaitForSingleObject(process.hProcess,
                                static_cast<DWORD>(std::chrono::milliseconds(kCommandGrace).count()));
            TerminateJobObject(job, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
    }
    commandJob = nullptr;
    CloseHandle(process.hProcess);
    CloseHandle(job);
    return end;
}

#else

namespace {

// Closes every file number from `from` on, in the child between fork and exec:
// only calls that are safe there. limit: the highest number the process may open.
void CloseFrom(int from, long limit)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    if (::close_range(static_cast<unsigned>(from), ~0U, 0) == 0)
        return;
#endif
    for (long fd = from; fd < limit; ++fd)
        ::close(static_cast<int>(fd));
}

// Ends the group: asked first (SIGTERM), by force (SIGKILL) when it is still
// there after the grace time. The shell itself is reaped; status: its end.
void EndGroup(pid_t group, int *status)
{
    ::kill(-group, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kCommandGrace;
    bool reaped = false;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!reaped && ::waitpid(group, status, WNOHANG) == group)
            reaped = true;
        if (reaped && ::kill(-group, 0) != 0 && errno == ESRCH)
            return;
        ::poll(nullptr, 0, kCommandPollMs);
    }
    ::kill(-group, SIGKILL);
    if (!reaped)
        while (::waitpid(group, status, 0) < 0 && errno == EINTR) {
        }
}

} // namespace

CommandEnd RunShellCommand(const std::string &command, std::string_view input, int seconds)
{
    // A command that stops reading its input must not end the program with SIGPIPE.
    struct sigaction pipeAction {};
    if (sigaction(SIGPIPE, nullptr, &pipeAction) == 0 && pipeAction.sa_handler == SIG_DFL) {
        pipeAction.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &pipeAction, nullptr);
    }
    int in[2];
    if (::pipe(in) != 0)
        return {};
    for (const int fd : in)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    struct rlimit files {};
    const long limit = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
                           ? static_cast<long>(files.rlim_cur)
                           : 65536;
    const char *const argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A group of its own, so that everything it starts can be ended with it;
        // the signals the program catches or ignores are the defaults again.
        ::setpgid(0, 0);
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD})
            sigaction(signal, &standard, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // Its input, the program's output and error, and no other file of the
        // program (the browser's among them) that would keep them open.
        if (in[0] == 0)
            ::fcntl(0, F_SETFD, 0);
        else
            ::dup2(in[0], 0);
        CloseFrom(3, limit);
        ::execv(argv[0], const_cast<char *const *>(argv));
        _exit(127);
    }
    ::close(in[0]);
    if (pid < 0) {
        ::close(in[1]);
        return {};
    }
    // Also from here: the group exists before any signal is sent to it.
    ::setpgid(pid, pid);
    commandGroup = pid;
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
    int writeFd = in[1];
    size_t sent = 0;
    if (input.empty()) {
        ::close(writeFd);
        writeFd = -1;
    }

    CommandEnd end;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            end = WIFEXITED(status) ? CommandEnd{CommandEnd::Exited, WEXITSTATUS(status)}
                                    : CommandEnd{CommandEnd::Crashed, 0};
            break;
        }
        // A stop request not yet taken up by the program waits in the pipe.
        struct pollfd watched[2] = {{wakeFds[0], POLLIN, 0}, {writeFd, POLLOUT, 0}};
        ::poll(watched, 2, kCommandPollMs);
        const bool stop = wakeFds[0] >= 0 && (watched[0].revents & POLLIN);
        if (stop || std::chrono::steady_clock::now() >= deadline) {
            end.kind = stop ? CommandEnd::Stopped : CommandEnd::TimedOut;
            EndGroup(pid, &status);
            break;
        }
        if (writeFd >= 0 && (watched[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t written = ::write(writeFd, input.data() + sent, input.size() - sent);
            if (written > 0)
                sent += static_cast<size_t>(written);
            if (sent == input.size() || (written < 0 && errno != EAGAIN && errno != EINTR)) {
                ::close(writeFd);
                writeFd = -1;
            }
        }
    }
    commandGroup = 0;
    if (writeFd >= 0)
        ::close(writeFd);
    return end;
}

#endif

} // namespace corvix
