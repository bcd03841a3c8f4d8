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

// NTFS journals its names: a rename that returned is kept.
bool SyncDirectory(const std::filesystem::path &) { return true; }

FileLockState LockFile(const std::filesystem::path &path, std::intptr_t *handle, std::error_code *error)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
        return FileLockState::Failed;
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
    *handle = reinterpret_cast<std::intptr_t>(file);
    return FileLockState::Locked;
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
    // Nonblocking, so that a pipe put in its place cannot hang the start.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd >= 0 || (errno != EACCES && errno != EROFS))
        return fd;
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

bool SameFile(int fd, const std::filesystem::path &path)
{
    struct stat opened {}, named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev
           && opened.st_ino == named.st_ino;
}

} // namespace

FileLockState LockFile(const std::filesystem::path &path, std::intptr_t *handle, std::error_code *error)
{
    // A holder that is ending removes the file while it holds it: a file
    // opened just before that is locked in vain and is opened again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = OpenLockFile(path);
        if (fd < 0) {
            *error = std::error_code(errno, std::generic_category());
            return FileLockState::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            ::close(fd);
            if (code == EWOULDBLOCK)
                return FileLockState::HeldElsewhere;
            *error = std::error_code(code, std::generic_category());
            return FileLockState::Failed;
        }
        if (SameFile(fd, path)) {
            *handle = fd;
            return FileLockState::Locked;
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
