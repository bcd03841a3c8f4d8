#pragma once
// The failures of reading and writing files, as values. Functions that touch
// files return Result<T>: the value, or the file that failed and the system's
// reason; the caller decides what a failure means and what the user is told.
// A missing file is told apart from one that exists and cannot be read: many
// files are empty until first written (url.ini is an empty product list), but a
// file that cannot be read must never be taken for an empty one and rewritten.
#include <QString>

#include <filesystem>

#include <tl/expected.hpp>

namespace corvix {

struct FileError {
    std::filesystem::path path;
    QString reason; // the system's words (strerror, std::error_code, QFileDevice)
    bool absent = false; // a read found no file at path; never set for a write
    // The file could not be read (absent or not): nothing was written, and the
    // user is told it could not be read rather than written.
    bool read = false;

    // What went wrong where it is more than the file's own read or write: the
    // window words each kind its own way.
    enum class Kind {
        Access,            // path could not be read or written (reason says why)
        TooLarge,          // more rows or columns than the file can hold: rows, columns
        NoTemporaryFolder, // no scratch folder could be made (path empty)
        NotAWorkbook,      // path is no workbook this program reads
        Damaged,           // path is a damaged workbook (reason says where)
        NotConverted,      // path, an old-format workbook, could not be converted
        Cancelled,         // stopped on request; path was left as it was
    };
    Kind kind = Kind::Access;
    int rows = 0;
    int columns = 0;

    bool operator==(const FileError &) const = default;
};

template <class T>
using Result = tl::expected<T, FileError>;

inline tl::unexpected<FileError> Failure(std::filesystem::path path, QString reason)
{
    return tl::unexpected<FileError>(FileError{std::move(path), std::move(reason)});
}

inline tl::unexpected<FileError> ReadFailure(std::filesystem::path path, QString reason)
{
    return tl::unexpected<FileError>(FileError{std::move(path), std::move(reason), false, true});
}

inline tl::unexpected<FileError> AbsentFile(std::filesystem::path path, QString reason)
{
    return tl::unexpected<FileError>(FileError{std::move(path), std::move(reason), true, true});
}

// A read for which a missing file is `empty` (a file not written yet); a file
// that exists and cannot be read stays an error.
template <class T>
Result<T> AbsentAsEmpty(Result<T> read, T empty = T())
{
    if (!read && read.error().absent)
        return empty;
    return read;
}

} // namespace corvix
