#include "support/Platform.h"

#if defined(_WIN32)
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
} // namespace corvix
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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
} // namespace corvix
#endif

// Stop requests from the system (see WatchStopRequests).
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <functional>

#if !defined(_WIN32)
#include <QSocketNotifier>
#include <unistd.h>
#endif

namespace corvix {
namespace {

std::atomic<int> requests{0};

#if defined(_WIN32)

QPointer<QObject> target;
std::function<void()> handler;

BOOL WINAPI OnConsoleEvent(DWORD)
{
    if (requests.fetch_add(1) > 0)
        std::_Exit(130);
    // This runs on a thread of its own: the program hears of it in its event loop.
    QMetaObject::invokeMethod(target.data(), [] { if (handler) handler(); }, Qt::QueuedConnection);
    return TRUE;
}

#else

int wakeFds[2] = {-1, -1};

// Only what is safe in a signal handler: an atomic count, write(2), _exit(2).
void OnSignal(int signal)
{
    if (requests.fetch_add(1) > 0)
        _exit(128 + signal);
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

} // namespace corvix
