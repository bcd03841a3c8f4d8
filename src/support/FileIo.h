#pragma once
// Whole-file reads and writes of the data layer. Contents are GBK bytes.
#include <filesystem>
#include <string>
#include <string_view>

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

} // namespace corvix
