#pragma once
// Whole-file reads and writes of the data layer. Contents are GBK bytes.
#include "support/Result.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

enum class StopAt { ZeroByte, ZeroOrTextEnd };

// The file's bytes up to the first zero byte (and, with ZeroOrTextEnd, up to the
// first 0x1A that is not the second byte of a two-byte character), or why the
// file could not be read. A missing file is an error with `absent` set: callers
// that take it as empty say so with AbsentAsEmpty. A directory, or a read that
// fails part-way, is an error too, never a shorter file.
Result<std::string> ReadWholeFile(const std::filesystem::path &path, StopAt stop = StopAt::ZeroByte);

// Every byte of the file, zero bytes included, or why it cannot be read whole,
// for callers that rewrite the file and must never take a part of it for the
// whole.
Result<std::string> ReadEveryByte(const std::filesystem::path &path);

// Replaces the file atomically: the bytes go to a temporary file in the same
// directory, which is then renamed over the target. On failure the old file
// stays as it was and the error names the file and the reason.
Result<void> WriteFileAtomically(const std::filesystem::path &path, std::string_view bytes);

// The new content of one file of a group that must change together.
struct FileContents {
    std::filesystem::path path;
    std::string_view bytes;
};

// Replaces several files as one change, for files that describe the same rows
// and must never disagree. Every new content is first written completely to a
// temporary file beside its target (flushed, its errors checked); only when all
// of them are there does the journal file list the renames to come, and then
// they are made, one right after the other. When a file cannot be written, or a
// rename fails, the temporary files go, every target keeps (or gets back) its
// old bytes, and the error names the file that could not be written. When the
// process dies on the way, FinishFilesTogether at the next start completes the
// change or undoes it, so that the files are never seen half changed. One file
// alone is simply replaced atomically.
Result<void> WriteFilesTogether(const std::vector<FileContents> &files, const std::filesystem::path &journal);

// Completes (or, after a rename that failed, undoes) the change that a process
// ended during WriteFilesTogether left in the journal, and removes it. Run at
// start-up by the holder of the data root, before anything is read. Nothing to
// do without a journal. An error names a file that could not be put in place;
// the journal then stays for the next try.
Result<void> FinishFilesTogether(const std::filesystem::path &journal);

// Test seam: asked before each step of WriteFilesTogether that a dying process
// could interrupt (1: the journal goes in place, 2 .. n + 1: the n renames in
// the order given, n + 2: the journal is removed). When it answers true, the
// write stops right there, as if the process had died: nothing is cleaned up,
// and FilesTogetherStopped is thrown past every caller to the test. A single
// file needs no journal and has no steps. nullptr: never stop.
struct FilesTogetherStopped {
    int step = 0;
};
void SetFilesTogetherStopForTests(std::function<bool(int step)> stop);

// Names (or dir/name paths) of the regular files in dir whose name matches the
// wildcard pattern ("*.txt"), sorted by name ascending, since not every file
// system lists in that order. A missing directory has no files.
std::vector<std::filesystem::path> ListFiles(const std::filesystem::path &dir, const std::string &pattern,
                                             bool withPath);

} // namespace corvix
