#pragma once
// The few facts that differ between operating systems.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

class QObject;

namespace corvix {

bool RunningAsRoot();

// fopen for a path in the platform's own file-name encoding (wide on Windows).
std::FILE *OpenFile(const std::filesystem::path &path, const char *mode);

// Asks the system to put what was written through the open file (a C library
// file number, as QFileDevice::handle() gives it) onto the disk itself, so that
// a file renamed into place afterwards never turns up empty after a power cut.
bool SyncToDisk(int fileNumber);
// The same for the names in a directory: a file renamed or removed there
// stays so after a power cut. True where the system keeps names safe itself.
bool SyncDirectory(const std::filesystem::path &dir);

// A lock that the system holds for an open file: it is free the moment its
// holder's process ends, however it ends and whatever the file contains.
enum class FileLockState { Locked, HeldElsewhere, Failed };

// Opens path (created when missing; read-only where it cannot be written) and
// takes its lock without waiting. A link in path's place (symbolic, or a name
// its file shares with others) is replaced by a file of its own once nobody
// holds it; the file it led to is never changed. Locked: *handle is the open file. Failed:
// *error says why (a folder in its place, a root that cannot be read).
FileLockState LockFile(const std::filesystem::path &path, std::intptr_t *handle, std::error_code *error);
// Replaces the locked file's content (who holds it); false when it cannot.
bool WriteLockedFile(std::intptr_t handle, std::string_view text);
// Removes the file while still holding it where the system allows that (so
// that no stale content outlives the holder), then closes it, freeing the lock.
void UnlockFile(std::intptr_t handle, const std::filesystem::path &path);

// A socket that listens on a free TCP port of the loopback address 127.0.0.1
// (*port), for a server that must be known by its port before it can run;
// not inherited by child processes. -1 when there is none.
std::intptr_t ListenOnLoopback(std::uint16_t *port);

// Stop requests from the system to a process without a window: SIGTERM (a
// service stopped, the machine shutting down), SIGINT (Ctrl-C) and SIGHUP (the
// session that started it ends); on Windows Ctrl-C, Ctrl-Break and the console
// closing. The first request reaches the program in its event loop, where it
// can finish what it was doing and save; a second one ends the process at once.
// Calls onStop (once, in context's thread, through the event loop) at the
// first stop request from now on. Needs a running QCoreApplication. A second
// request ends the process with the signal's usual status.
void WatchStopRequests(QObject *context, std::function<void()> onStop);

// True once a stop request has come in since WatchStopRequests was called.
bool StopRequested();

// How a command that RunShellCommand ran ended.
struct CommandEnd {
    enum Kind {
        NotStarted,
        Exited,   // by itself; exitCode holds its code
        Crashed,  // by a signal or a fault of its own
        TimedOut, // still running when the time ran out: ended with what it started
        Stopped,  // a stop request (WatchStopRequests) came in meanwhile: ended likewise
    } kind = NotStarted;
    int exitCode = 0;
};

// Runs command (in the system's encoding) through the system's shell (/bin/sh -c,
// cmd.exe /c) with input on its standard input and the program's own standard
// output and error; no other open file of the program reaches it. It runs in a
// group of its own (a process group, a job), so that what it starts ends with it:
// when seconds have passed, or a stop request comes in while it runs, the whole
// group is asked to end (SIGTERM, Ctrl-Break) and ended by force 2 s later. A
// second stop request ends the group with the program. Waits for the command.
CommandEnd RunShellCommand(const std::string &command, std::string_view input, int seconds);

} // namespace corvix
