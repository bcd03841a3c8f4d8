// The record reader with the shop titles of columns.ini: a record file and its
// side file as they lie in DbDir, loaded into a grid of given shops, and the
// grid saved and loaded again.
#include "FuzzSupport.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/RecordFile.h"
#include "support/TextUtils.h"

#include <QTemporaryDir>

#include <fstream>

using namespace corvix;

namespace {

void Write(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::unique_ptr<ProductGridModel> Grid(const std::vector<std::string> &shops)
{
    auto grid = std::make_unique<ProductGridModel>();
    grid->AddColumn("ID", 50, Qt::AlignLeft);
    grid->AddColumn("title", 200, Qt::AlignHCenter);
    for (const std::string &shop : shops)
        grid->AddColumn(shop, 60, Qt::AlignHCenter);
    return grid;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const std::filesystem::path db = dir.path().toStdString();
    static const std::filesystem::path other = db / "other";
    static const bool made = std::filesystem::create_directories(other);
    (void)made;

    const std::vector<std::string> p = fuzz::Pieces(fuzz::Bytes(data, size), 3);
    Write(db / "1700000000.txt", p[0]);
    Write(db / "columns.ini", p[1]);
    std::vector<std::string> shops = SplitText(p[2], ",", 12);
    const auto grid = Grid(shops);
    LoadRecordIntoGrid(db / "1700000000.txt", *grid);
    FUZZ_CHECK(static_cast<size_t>(grid->RowCount()) <= SplitText(p[0], "\r\n").size());

    // Saved and read back by position, every cell is where it was; a line
    // break or a bar in a cell becomes what the record can hold.
    Write(other / "1.txt", RecordText(*grid));
    const auto again = Grid(shops);
    LoadRecordIntoGrid(other / "1.txt", *again);
    FUZZ_CHECK(again->RowCount() == grid->RowCount());
    for (int r = 0; r < grid->RowCount(); ++r)
        for (int c = 1; c < grid->ColumnCount(); ++c)
            FUZZ_CHECK(again->Text(r, c) == RecordCellText(grid->Text(r, c)));
    return 0;
}
