#pragma once
// The spreadsheet export of the product grid: row 1 the column titles, then
// every grid cell, column j to ColumnLetter(j + 1). A cell whose whole text is
// a price (WholePrice: "￥1,299.00", "12.5", the IDs too) is written as a number
// that the spreadsheet shows as that same text, every other cell as text, so
// that prices can be summed and sorted there.
#include "products/UnitPrices.h"
#include "support/Result.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class ProductGridModel;

// A worksheet's size: the rows (the title row included) and the columns it holds.
inline constexpr long long kMaxSheetRows = 1048576;
inline constexpr long long kMaxSheetColumns = 16384;

// A written workbook. An old-format template that could not be read here (no
// converter) is named: the export went on without it.
struct ExportDone {
    std::filesystem::path skippedTemplate;

    bool operator==(const ExportDone &) const = default;
};

// What stops an export is a FileError whose kind says what the window tells:
// Access (the workbook could not be written), TooLarge (rows and columns of
// the grid), NoTemporaryFolder, NotAWorkbook / Damaged / NotConverted (the
// template), Cancelled (the progress said stop). path is the file concerned,
// reason the system's or the library's words as they give them.
FileError ExportError(FileError::Kind kind, std::filesystem::path file, QString reason = {});

// Told the grid rows written so far and the grid's row count, every few
// hundred rows, on the thread that runs the export: the window shows it in a
// progress bar. Returning false stops the export, which then fails as
// Cancelled and leaves the target as it was.
using ExportProgress = std::function<bool(int rowsWritten, int rowCount)>;
// Calls progress when a batch of rows is complete (and for the last row):
// false when it asked to stop.
bool TellRowsWritten(const ExportProgress &progress, int rowsWritten, int rowCount);

// A workbook file that could not be written, and why.
tl::unexpected<FileError> WorkbookWriteFailure(const std::filesystem::path &file, const QString &reason);
// The export stopped because its progress said so.
tl::unexpected<FileError> ExportCancelled(const std::filesystem::path &file);

// The file name an export proposes: "价格记录-<yyyyMMdd-HHmm>.xlsx" at the time given.
QString ProposedExportFileName(const QDateTime &when);

// The name a price history export proposes: "价格走势-<product>-<yyyyMMdd>.xlsx",
// the product's title made fit for a file name.
QString ProposedHistoryFileName(const QString &product, const QDate &day);

// text as a file name on any desktop: characters no file name may hold (and
// control characters) become "_", blanks and dots at either end go, and a
// name that would stay empty becomes "_".
QString FileNameSafe(const QString &text);

// How many character widths of a spreadsheet the GBK text takes on its longest
// line: one per byte, which gives a Chinese character the two it needs.
int TextWidth(std::string_view gbk);

// The column width (in character widths) that shows a text of textWidth
// whole, with some room on either side; a very long text gets a capped width.
double FittingColumnWidth(int textWidth);
inline constexpr double kMaxColumnWidth = 60;

// For each grid column the fitting width of its longest text, title or cell
// (the cell text is what the spreadsheet shows, prices included); 0 for a
// column with no text at all.
std::vector<double> FittingColumnWidths(const ProductGridModel &grid);

// The sheet's name for prices captured at that time, "2026-12-08 09.30": a
// sheet name holds no ":".
QString SheetNameOf(const QDateTime &capturedAt);

// What the workbook's properties say of prices captured at that time: its
// title "价格记录 yyyy-MM-dd HH:mm", and "抓取时间：yyyy-MM-dd HH:mm:ss" as its
// subject and comments.
QString WorkbookTitleOf(const QDateTime &capturedAt);
QString CaptureTimeText(const QDateTime &capturedAt);

// Spreadsheet column name of the 1-based column n: A..Z, then AA, AB, ... ZZ,
// AAA, ...; empty for n < 1.
std::string ColumnLetter(int n);

// A GBK cell text as the UTF-8 a workbook takes, cut to the 32,767 characters
// that a spreadsheet cell holds; a literal "_xHHHH_" is protected so that it is
// not read back as an escaped character.
std::string WorkbookCellText(std::string_view gbk);

// Writes the grid into a new workbook at target: the header row bold, each
// column as wide as its longest text, each price with a number format that
// shows its text. A valid capturedAt (when the prices were captured) names the
// sheet and goes into the workbook's properties (title, subject, comments,
// created). When templatePath names an existing file, the workbook is a copy
// of that template whose first sheet receives the cells (other sheets, styles,
// sheet names, properties and cells outside the written range stay; column
// widths too, unless the sheet sets none); there the formats are the
// template's own. The target is replaced only when the whole workbook was
// written. Unit prices, when there are any, go to a second sheet "单价" of a
// fresh workbook (a template's sheets are left as the template has them).
Result<ExportDone> ExportGridToExcel(const ProductGridModel &grid, const std::filesystem::path &target,
                                     const std::filesystem::path &templatePath, const QDateTime &capturedAt = {},
                                     const ExportProgress &progress = {}, const UnitPriceGrid &unitPrices = {});

} // namespace corvix
