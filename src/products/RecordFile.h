#pragma once
// Record files: snapshots of the product grid in DbDir, one per save, named by
// a record stamp plus ".txt". A line per grid row holding columns 1.. each
// followed by "|", lines joined by CR LF without a final one; GBK, no escaping.
#include "support/FileIo.h"
#include "support/Result.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class ProductGridModel;

// GBK name (with ".txt", without directory) of the newest record of dbDir:
// the record saved last (LastSavedRecord), which start-up restores and a
// retry retries; empty when there is none.
std::string NewestRecordName(const std::filesystem::path &dbDir);

// Told the lines read so far and the file's line count, every few hundred
// lines, on the thread that reads: the window shows it in a progress bar.
using RowProgress = std::function<void(int linesRead, int lineCount)>;

// Calls visit with the fields of each non-empty line of the record file, in
// file order: field 0 is grid column 1 (the product title), field k grid column
// k + 1. visit may take the strings. A missing or unreadable file has no lines.
void ForEachRecordRow(const std::filesystem::path &path,
                      const std::function<void(std::vector<std::string> &fields)> &visit,
                      const RowProgress &progress = {});

// Appends the record's non-empty lines to the grid as rows numbered on from the
// grid's row count. Cells go to the grid's columns by shop title when the side
// file of the record's directory names its shops (RecordColumns.h), otherwise
// fields fill columns 1.. as saved; cells without a column are dropped. The
// grid is not cleared. A missing or unreadable file adds nothing.
void LoadRecordIntoGrid(const std::filesystem::path &path, ProductGridModel &grid, const RowProgress &progress = {});

// The record file text of the whole grid (empty for a grid without rows). Every
// cell goes in as RecordCellText writes it.
std::string RecordText(const ProductGridModel &grid);

// A cell text as a record line can hold it, for this program and every older
// one: a "|" of its own (not the second byte of a character such as 億) would
// end the cell and shift the rest of the line, so it is written as the
// full-width "｜"; line breaks would end the line, so they go at the ends and
// each run of them inside becomes one blank.
std::string RecordCellText(std::string_view cell);

// The path of a new record file in dbDir: named by the current record stamp,
// or, when a file of that name is there, by the first free second after it, so
// that two saves within one second both stay.
std::filesystem::path FreeRecordPath(const std::filesystem::path &dbDir);

struct SavedRecord {
    std::filesystem::path path;
    // Whether the shop titles went into the side file too (a record without
    // them is still read, by position).
    bool titlesSaved = false;
    // The files to be saved with the record that could not be, each with why;
    // they were left as they were.
    std::vector<FileError> notSaved;
};

// Writes the grid as a new record file in dbDir at FreeRecordPath (an existing
// record is never replaced), together with its shop titles (RecordColumns.h),
// the side file of the last saved record (LastSaved.h) and the files of
// alongside (the alert state a run leaves): all of them change, or, should the
// process die, the next start sees none changed. A file that cannot be written
// does not hold up the record, which is saved without it. The error names the
// record file when that could not be written; then nothing changed.
Result<SavedRecord> SaveGridAsRecord(const ProductGridModel &grid, const std::filesystem::path &dbDir,
                                     const std::vector<FileContents> &alongside = {});

} // namespace corvix
