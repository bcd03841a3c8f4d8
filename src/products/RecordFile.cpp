#include "products/RecordFile.h"

#include "products/LastSaved.h"
#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/RecordList.h"
#include "products/RecordStamp.h"
#include "support/DataRoot.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/GbkBytes.h"
#include "support/TextUtils.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace corvix {
namespace {

// Rows go into the model in batches: one model insertion per row would make a
// 10,000-line record slow to load with a view attached.
constexpr size_t kRowsPerBatch = 256;

} // namespace

std::string NewestRecordName(const std::filesystem::path &dbDir)
{
    const std::optional<RecordListEntry> last = LastSavedRecord(dbDir, ListRecords(dbDir));
    return last ? PathToGbk(last->file) : std::string();
}

void ForEachRecordRow(const std::filesystem::path &path,
                      const std::function<void(std::vector<std::string> &fields)> &visit, const RowProgress &progress)
{
    const std::string text = ReadWholeFile(path).value_or(std::string());
    if (text.empty())
        return;
    const std::vector<std::string> lines = SplitText(text, "\r\n");
    const int count = static_cast<int>(lines.size());
    for (int i = 0; i < count; ++i) {
        const std::string &line = lines[static_cast<size_t>(i)];
        if (!line.empty()) {
            std::vector<std::string> fields = SplitText(line, "|");
            visit(fields);
        }
        if (progress && ((i + 1) % static_cast<int>(kRowsPerBatch) == 0 || i + 1 == count))
            progress(i + 1, count);
    }
}

void LoadRecordIntoGrid(const std::filesystem::path &path, ProductGridModel &grid, const RowProgress &progress)
{
    std::vector<std::vector<std::string>> batch;
    batch.reserve(kRowsPerBatch);
    const auto flush = [&] {
        if (batch.empty())
            return;
        grid.AppendRows(std::move(batch));
        batch.clear();
        batch.reserve(kRowsPerBatch);
    };

    const RecordFieldMap map(ReadRecordColumns(path.parent_path(), PathToGbk(path.filename())), grid);
    ForEachRecordRow(path, [&](std::vector<std::string> &fields) {
        const size_t columns = static_cast<size_t>(grid.ColumnCount());
        std::vector<std::string> row(columns);
        if (columns > 0)
            row[0] = std::to_string(static_cast<size_t>(grid.RowCount()) + batch.size() + 1);
        for (size_t k = 0; k < fields.size(); ++k)
            if (const int column = map.GridColumn(k); column > 0)
                row[static_cast<size_t>(column)] = std::move(fields[k]);
        batch.push_back(std::move(row));
        if (batch.size() >= kRowsPerBatch)
            flush();
    }, progress);
    flush();
}

std::string RecordText(const ProductGridModel &grid)
{
    std::string text;
    for (int r = 0; r < grid.RowCount(); ++r) {
        if (r > 0)
            text += "\r\n";
        for (int k = 1; k < grid.ColumnCount(); ++k) {
            text += RecordCellText(grid.Text(r, k));
            text += '|';
        }
    }
    return text;
}

std::string RecordCellText(std::string_view cell)
{
    std::string text(cell);
    if (text.find_first_of("|\r\n") != std::string::npos) {
        static const std::string fullWidthBar = Gbk("｜");
        text = ReplaceText(SingleLineText(text), "|", fullWidthBar);
    }
    // A lead byte without its second byte (a damaged text) would take the "|"
    // after the cell for one: it becomes the converter's "?".
    if (!text.empty() && IsLeadByte(text.back())) {
        size_t i = 0;
        while (i + 1 < text.size())
            i += IsLeadByte(text[i]) ? 2 : 1;
        if (i + 1 == text.size())
            text.back() = '?';
    }
    return text;
}

std::filesystem::path FreeRecordPath(const std::filesystem::path &dbDir)
{
    std::string stamp = MakeRecordStamp();
    std::error_code ec;
    while (std::filesystem::exists(PathInDir(dbDir, stamp + ".txt"), ec))
        stamp = NextRecordStamp(stamp);
    return PathInDir(dbDir, stamp + ".txt");
}

Result<SavedRecord> SaveGridAsRecord(const ProductGridModel &grid, const std::filesystem::path &dbDir,
                                     const std::vector<FileContents> &alongside)
{
    const std::vector<RecordListEntry> records = ListRecords(dbDir);
    SavedRecord saved;
    saved.path = FreeRecordPath(dbDir);
    const std::string name = PathToGbk(saved.path.filename());
    const std::string record = RecordText(grid);
    const Result<std::string> columns = RecordColumnsTextWith(dbDir, name, grid);
    const std::string order = LastSavedTextAfter(dbDir, records, saved.path.filename());
    std::vector<FileContents> files{{saved.path, record}};
    // A side file that cannot be read whole is not rewritten: the record goes without it.
    if (columns)
        files.push_back({RecordColumnsPath(dbDir), *columns});
    else
        saved.notSaved.push_back(columns.error());
    files.insert(files.end(), alongside.begin(), alongside.end());
    files.push_back({LastSavedPath(dbDir), order});
    const std::filesystem::path journal = ChangeJournalPath(dbDir.parent_path());
    // The prices come first: a file that cannot be saved along with them is
    // left as it was and named, and the record is saved without it.
    for (;;) {
        Result<void> written = WriteFilesTogether(files, journal);
        if (written)
            break;
        FileError &error = written.error();
        if (error.path == saved.path)
            return tl::unexpected<FileError>(std::move(error));
        const size_t before = files.size();
        for (size_t i = files.size(); i-- > 1;) {
            if (error.path == journal || files[i].path == error.path) {
                saved.notSaved.push_back({files[i].path, error.reason});
                files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if (files.size() == before)
            return tl::unexpected<FileError>(std::move(error));
    }
    saved.titlesSaved = std::none_of(saved.notSaved.begin(), saved.notSaved.end(),
                                     [&](const FileError &e) { return e.path == RecordColumnsPath(dbDir); });
    return saved;
}

} // namespace corvix
