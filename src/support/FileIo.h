#pragma once
// Whole-file reads and writes of the data layer. Contents are GBK bytes.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

enum class StopAt { ZeroByte, ZeroOrTextEnd };

// The file's bytes up to the first zero byte (and, with ZeroOrTextEnd, up to the
// first 0x1A that is not the second byte of a two-byte character). A file that
// cannot be read reads as the empty text.
std::string ReadWholeFile(const std::filesystem::path &path, StopAt stop = StopAt::ZeroByte);

// Replaces the file atomically: the bytes go to a temporary file in the same
// directory, which is then renamed over the target. On failure the old file
// stays as it was and false is returned.
bool WriteFileAtomically(const std::filesystem::path &path, std::string_view bytes);

// The new content of one file of a group that must change together.
struct FileContents {
    std::filesystem::path path;
    std::string_view bytes;
};

// Replaces several files as one change, for files that describe the same rows
// and must never disagree. Every new content is first written completely to a
// temporary file beside its target (flushed, its errors checked); only when all
// of them are there are they renamed over their targets, one right after the
// other. When a file cannot be written, or a rename fails, the temporary files
// go, every target keeps (or gets back) its old bytes, false is returned and
// *failed names the file that could not be written.
bool WriteFilesTogether(const std::vector<FileContents> &files, std::filesystem::path *failed = nullptr);

} // namespace corvix
