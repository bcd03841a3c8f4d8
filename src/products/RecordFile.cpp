#include "products/RecordFile.h"

#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/RecordList.h"
#include "products/RecordStamp.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/GbkBytes.h"
#include "support/TextUtils.h"

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
    const RecordListEntry *newest = nullptr;
    std::optional<QDateTime> newestTime;
    const std::vector<RecordListEntry> entries = ListRecords(dbDir);
    for (const RecordListEntry &entry : entries) {
        // Ten-digit and millisecond names do not sort by time among each other.
        const std::optional<QDateTime> time = RecordDateTime(entry.name);
        if (!newest || *time >= *newestTime) {
            newest = &entry;
            newestTime = time;
        }
    }
    return newest ? PathToGbk(newest->file) : std::string();
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

Result<SavedRecord> SaveGridAsRecord(const ProductGridModel &grid, const std::filesystem::path &dbDir)
{
    const std::filesystem::path file = FreeRecordPath(dbDir);
    return WriteFileAtomically(file, RecordText(grid)).map([&] {
        return SavedRecord{file, WriteRecordColumns(dbDir, PathToGbk(file.filename()), grid)};
    });
}

} // namespace corvix
