#pragma once
// The shop titles of the records, in the side file "columns.ini" of DbDir: a
// record file holds cells only, so without them a rule closed, enabled or moved
// since the save would put the record's prices under the wrong shops. One
// section per record, named like the record in the record list (its file name
// up to the first "."), with the keys "1", "2", ... holding the titles of the
// record's shop columns in order (the product title comes first in every
// record and has no key). A GBK INI file; record files stay as they were, and
// a program that knows no side file lists and reads only the "*.txt".
#include "products/LinkFile.h"

#include "support/Result.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class ProductGridModel;

std::filesystem::path RecordColumnsPath(const std::filesystem::path &dbDir);

struct RecordColumns {
    bool known = false;              // false for records saved without titles
    std::vector<std::string> shops;  // GBK: record field k + 1 is shop k
};

// The titles of the record named recordName ("1733640000" or "1733640000.txt").
RecordColumns ReadRecordColumns(const LinkFile &columnsFile, std::string_view recordName);
RecordColumns ReadRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName);

// Puts the section of recordName into a file of that format, whole (an older
// one of that name goes), with the titles of grid's shop columns.
void SetRecordColumns(LinkFile &columnsFile, std::string_view recordName, const ProductGridModel &grid);
// The side file's text with the section of recordName written whole (an older
// one of that name goes) with the titles of grid's shop columns.
// Fails, naming the file, when the side file is there but cannot be read
// whole: it is then not rewritten.
Result<std::string> RecordColumnsTextWith(const std::filesystem::path &dbDir, std::string_view recordName,
                                          const ProductGridModel &grid);
// Writes the section of recordName whole (an older one of that name goes) with
// the titles of grid's shop columns; every other byte of the file stays. An
// error naming the side file, which stays as it was, when it cannot be read
// whole or written.
Result<void> WriteRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName,
                                const ProductGridModel &grid);
// Drops the section of a record that is deleted (nothing to do when there is
// none); an error as above.
Result<void> DropRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName);

// Where the fields of a record line go in a grid of today's columns.
class RecordFieldMap {
public:
    RecordFieldMap(const RecordColumns &record, const ProductGridModel &grid);
    // The grid column of field `field` (0 = the product title), or -1 when the
    // grid has no column for it. With titles known, a shop goes to the column of
    // its title (the n-th column of a title twice in both takes the n-th); else
    // field k goes to column k + 1, as the record was saved.
    int GridColumn(size_t field) const;

private:
    bool byTitle_ = false;
    int columnCount_ = 0;
    std::vector<int> columns_; // by title: the grid column of field k
};

} // namespace corvix
