#pragma once
// The failures of reading and writing files, as values. Functions that touch
// files return Result<T>: the value, or the file that failed and the system's
// reason; the caller decides what a failure means (a missing url.ini is an
// empty product list) and what the user is told.
#include <QString>

#include <filesystem>

#include <tl/expected.hpp>

namespace corvix {

struct FileError {
    std::filesystem::path path;
    QString reason; // the system's words (strerror, std::error_code, QFileDevice)
};

template <class T>
using Result = tl::expected<T, FileError>;

inline tl::unexpected<FileError> Failure(std::filesystem::path path, QString reason)
{
    return tl::unexpected<FileError>(FileError{std::move(path), std::move(reason)});
}

} // namespace corvix
