#include "products/ExcelExport.h"

#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "products/XlsxTemplate.h"
#include "support/Gbk.h"
#include "support/GbkBytes.h"
#include "support/PathText.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>

namespace corvix {
namespace {

constexpr size_t kMaxCellCharacters = 32767;

// The workbook is built under a temporary name beside the target and renamed
// over it at the end, so a failed export never leaves a half-written file and
// never destroys the file it was meant to replace.
class PendingFile {
public:
    explicit PendingFile(std::filesystem::path target) : target_(std::move(target)) {}
    ~PendingFile() { Discard(); }

    // Creates the temporary file; false (with Error()) when the directory
    // cannot be written.
    bool Reserve()
    {
        const std::filesystem::path dir = target_.parent_path();
        for (int attempt = 0; attempt < 8; ++attempt) {
            const QString suffix = QString::number(QRandomGenerator::global()->generate(), 16);
            std::filesystem::path candidate =
                dir / std::filesystem::path((QStringLiteral(".~") + PathText(target_.filename()) + u'.' + suffix +
                                             QStringLiteral(".tmp"))
                                                .toStdU16String());
            QFile file(PathText(candidate));
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                file.close();
                temp_ = std::move(candidate);
                return true;
            }
            error_ = file.errorString();
            if (file.error() != QFileDevice::OpenError || !QFile::exists(file.fileName()))
                break;
        }
        return false;
    }

    const std::filesystem::path &Path() const { return temp_; }
    const QString &Error() const { return error_; }

    Result<void> Commit()
    {
        std::error_code ec;
        std::filesystem::rename(temp_, target_, ec);
        if (ec)
            return WorkbookWriteFailure(target_, QString::fromLocal8Bit(ec.message().c_str()));
        temp_.clear();
        return {};
    }

    void Discard()
    {
        if (temp_.empty())
            return;
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
        temp_.clear();
    }

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    QString error_;
};

// The number format that shows a price's value as its text was written:
// "￥1,299.00" gives ￥#,##0.00, "12.5" gives 0.0. The dollar and the full-width
// yen are characters a number format shows as they are; any other sign is
// quoted ("?" would be a digit place).
std::string NumberFormatOf(const PriceText &price)
{
    static const std::string yen = Gbk("￥");
    std::string format;
    if (price.sign == "$" || price.sign == yen)
        format = GbkToUtf8(price.sign);
    else if (!price.sign.empty())
        format = '"' + GbkToUtf8(price.sign) + '"';
    format += price.grouped ? "#,##0" : "0";
    if (price.decimals > 0)
        format += '.' + std::string(static_cast<size_t>(price.decimals), '0');
    return format;
}

// The formats of one fresh workbook: the bold header and one per number format.
class WorkbookFormats {
public:
    explicit WorkbookFormats(lxw_workbook *workbook) : workbook_(workbook) {}

    lxw_format *Header()
    {
        if (!header_) {
            header_ = workbook_add_format(workbook_);
            format_set_bold(header_);
        }
        return header_;
    }

    lxw_format *Number(const std::string &numberFormat)
    {
        lxw_format *&format = numbers_[numberFormat];
        if (!format) {
            format = workbook_add_format(workbook_);
            format_set_num_format(format, numberFormat.c_str());
        }
        return format;
    }

    lxw_format *BoldNumber(const std::string &numberFormat)
    {
        lxw_format *&format = boldNumbers_[numberFormat];
        if (!format) {
            format = workbook_add_format(workbook_);
            format_set_num_format(format, numberFormat.c_str());
            format_set_bold(format);
        }
        return format;
    }

private:
    std::map<std::string, lxw_format *> boldNumbers_;
    lxw_workbook *workbook_;
    lxw_format *header_ = nullptr;
    std::map<std::string, lxw_format *> numbers_;
};

lxw_error SetColumnWidths(lxw_worksheet *sheet, const ProductGridModel &grid)
{
    const std::vector<double> widths = FittingColumnWidths(grid);
    lxw_error error = LXW_NO_ERROR;
    for (size_t j = 0; error == LXW_NO_ERROR && j < widths.size() && j < kMaxSheetColumns; ++j)
        if (widths[j] > 0)
            error = worksheet_set_column(sheet, static_cast<lxw_col_t>(j), static_cast<lxw_col_t>(j), widths[j],
                                         nullptr);
    return error;
}

lxw_error WriteHeaderRow(lxw_worksheet *sheet, const ProductGridModel &grid, WorkbookFormats &formats)
{
    lxw_error error = SetColumnWidths(sheet, grid);
    for (int j = 0; error == LXW_NO_ERROR && j < grid.ColumnCount(); ++j) {
        const std::string &title = grid.Title(j);
        if (!title.empty())
            error = worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(j), WorkbookCellText(title).c_str(),
                                           formats.Header());
    }
    return error;
}

// The title and comments say when the prices were captured, for a workbook
// opened long after; created is that moment too.
lxw_error SetCaptureProperties(lxw_workbook *workbook, const QDateTime &capturedAt)
{
    const QByteArray title = WorkbookTitleOf(capturedAt).toUtf8();
    const QByteArray captured = CaptureTimeText(capturedAt).toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char *>(title.constData());
    properties.subject = const_cast<char *>(captured.constData());
    properties.comments = const_cast<char *>(captured.constData());
    properties.created = static_cast<time_t>(capturedAt.toSecsSinceEpoch());
    return workbook_set_properties(workbook, &properties);
}

// A price goes in as a number that shows as its text; anything else as text.
lxw_error WriteDataCell(lxw_worksheet *sheet, lxw_row_t row, lxw_col_t column, const std::string &text,
                        WorkbookFormats &formats)
{
    if (const std::optional<PriceText> price = WholePrice(text))
        return worksheet_write_number(sheet, row, column, price->value, formats.Number(NumberFormatOf(*price)));
    return worksheet_write_string(sheet, row, column, WorkbookCellText(text).c_str(), nullptr);
}

// A fresh workbook through libxlsxwriter. constant_memory streams each row to
// a temporary file as soon as the next row starts, which fits: rows are written
// strictly in order, so memory stays flat whatever the grid's size.
// The sheet "单价" beside the prices: each sized price per unit of its
// product as a number that shows its unit ("55.00/500g"), the row's cheapest
// buy in bold; the other cells of a product row stay empty.
lxw_error WriteUnitPriceSheet(lxw_workbook *workbook, const ProductGridModel &grid, const UnitPriceGrid &unitPrices,
                              WorkbookFormats &formats)
{
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, "单价");
    if (!sheet)
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    lxw_error error = WriteHeaderRow(sheet, grid, formats);
    for (int i = 0; error == LXW_NO_ERROR && i < grid.RowCount() && i + 1 < kMaxSheetRows; ++i) {
        const int columns = std::min<long long>(grid.ColumnCount(), kMaxSheetColumns);
        for (int j = 0; error == LXW_NO_ERROR && j < columns; ++j) {
            const auto row = static_cast<lxw_row_t>(i + 1);
            const auto column = static_cast<lxw_col_t>(j);
            if (j < kFirstSiteColumn) {
                if (!grid.Text(i, j).empty())
                    error = WriteDataCell(sheet, row, column, grid.Text(i, j), formats);
                continue;
            }
            const auto found = unitPrices.find({i, j});
            if (found == unitPrices.end())
                continue;
            const std::string numberFormat = std::string("0.00\"/") + UnitCaption(found->second.unit) + "\"";
            error = worksheet_write_number(sheet, row, column, found->second.perUnit,
                                           found->second.cheapest ? formats.BoldNumber(numberFormat)
                                                                  : formats.Number(numberFormat));
        }
    }
    return error;
}

Result<void> WriteFreshWorkbook(const ProductGridModel &grid, const std::filesystem::path &output,
                                const QDateTime &capturedAt, const ExportProgress &progress,
                                const UnitPriceGrid &unitPrices)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    const QByteArray fileName = QFile::encodeName(PathText(output));
    lxw_workbook *workbook = workbook_new_opt(fileName.constData(), &options);
    if (!workbook)
        return WorkbookWriteFailure(output, QStringLiteral("cannot create the file"));
    const QByteArray sheetName = capturedAt.isValid() ? SheetNameOf(capturedAt).toUtf8() : QByteArray();
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, sheetName.isEmpty() ? nullptr : sheetName.constData());
    WorkbookFormats formats(workbook);
    lxw_error error = sheet ? WriteHeaderRow(sheet, grid, formats) : LXW_ERROR_MEMORY_MALLOC_FAILED;
    if (error == LXW_NO_ERROR && capturedAt.isValid())
        error = SetCaptureProperties(workbook, capturedAt);
    bool goOn = true;
    for (int i = 0; goOn && error == LXW_NO_ERROR && i < grid.RowCount() && i + 1 < kMaxSheetRows; ++i) {
        const int columns = std::min<long long>(grid.ColumnCount(), kMaxSheetColumns);
        for (int j = 0; error == LXW_NO_ERROR && j < columns; ++j) {
            const std::string &text = grid.Text(i, j);
            if (!text.empty())
                error = WriteDataCell(sheet, static_cast<lxw_row_t>(i + 1), static_cast<lxw_col_t>(j), text, formats);
        }
        goOn = TellRowsWritten(progress, i + 1, grid.RowCount());
    }
    if (goOn && error == LXW_NO_ERROR && !unitPrices.empty())
        error = WriteUnitPriceSheet(workbook, grid, unitPrices, formats);
    // Closing writes the package; it must run even after an error to free the
    // workbook (and a stopped one only reaches the temporary name).
    const lxw_error closeError = workbook_close(workbook);
    if (error == LXW_NO_ERROR)
        error = closeError;
    if (error != LXW_NO_ERROR)
        return WorkbookWriteFailure(output, QString::fromUtf8(lxw_strerror(error)));
    if (!goOn)
        return ExportCancelled(output);
    return {};
}

Result<ExportDone> FromTemplate(const ProductGridModel &grid, const std::filesystem::path &templatePath,
                                const std::filesystem::path &output, const QDateTime &capturedAt,
                                const ExportProgress &progress)
{
    const auto done = [](std::filesystem::path skipped = {}) { return ExportDone{std::move(skipped)}; };
    switch (DetectWorkbookFormat(templatePath)) {
    case WorkbookFormat::OfficeOpenXml:
        return FillXlsxTemplate(grid, templatePath, output, capturedAt, progress).map(done);
    case WorkbookFormat::LegacyBinary: {
        // Without a converter the old format cannot be read here; the export
        // then goes on as if there were no template, and says so.
        if (!LegacyWorkbookConverterAvailable())
            return WriteFreshWorkbook(grid, output, capturedAt, progress, {}).map([&] { return done(templatePath); });
        QTemporaryDir workDir;
        if (!workDir.isValid())
            return tl::unexpected(ExportError(FileError::Kind::NoTemporaryFolder, {}, workDir.errorString()));
        return ConvertLegacyWorkbook(templatePath, std::filesystem::path(workDir.path().toStdU16String()))
            .and_then([&](const std::filesystem::path &converted) {
                return FillXlsxTemplate(grid, converted, output, capturedAt, progress);
            })
            .map(done);
    }
    case WorkbookFormat::Unknown:
        break;
    }
    return tl::unexpected(ExportError(FileError::Kind::NotAWorkbook, templatePath));
}

} // namespace

QString ProposedHistoryFileName(const QString &product, const QDate &day)
{
    return QStringLiteral("价格走势-") + FileNameSafe(product) + u'-' + day.toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral(".xlsx");
}

QString FileNameSafe(const QString &text)
{
    static const QString kNotInNames = QStringLiteral("\\/:*?\"<>|");
    QString name = text;
    for (QChar &c : name)
        if (c.unicode() < 0x20 || kNotInNames.contains(c))
            c = u'_';
    // Windows drops a trailing dot or blank; a leading one hides the file here.
    const auto trimmable = [](QChar c) { return c == u'.' || c.isSpace(); };
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && trimmable(name[begin]))
        ++begin;
    while (end > begin && trimmable(name[end - 1]))
        --end;
    name = name.mid(begin, end - begin);
    return name.isEmpty() ? QStringLiteral("_") : name;
}

int TextWidth(std::string_view gbk)
{
    int longest = 0;
    size_t begin = 0;
    while (begin <= gbk.size()) {
        size_t end = gbk.find('\n', begin);
        if (end == std::string_view::npos)
            end = gbk.size();
        std::string_view line = gbk.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        longest = std::max(longest, static_cast<int>(line.size()));
        begin = end + 1;
    }
    return longest;
}

double FittingColumnWidth(int textWidth)
{
    // One character width on either side keeps the text clear of the borders
    // (and of a bold header's wider strokes).
    constexpr double kPadding = 2;
    return std::min(static_cast<double>(textWidth) + kPadding, kMaxColumnWidth);
}

std::vector<double> FittingColumnWidths(const ProductGridModel &grid)
{
    std::vector<double> widths;
    for (int j = 0; j < grid.ColumnCount(); ++j) {
        int longest = TextWidth(grid.Title(j));
        for (int i = 0; i < grid.RowCount(); ++i)
            longest = std::max(longest, TextWidth(grid.Text(i, j)));
        widths.push_back(longest > 0 ? FittingColumnWidth(longest) : 0);
    }
    return widths;
}

QString WorkbookTitleOf(const QDateTime &capturedAt)
{
    return QStringLiteral("价格记录 ") + capturedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString CaptureTimeText(const QDateTime &capturedAt)
{
    return QStringLiteral("抓取时间：") + capturedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString SheetNameOf(const QDateTime &capturedAt)
{
    return capturedAt.toString(QStringLiteral("yyyy-MM-dd HH.mm"));
}

QString ProposedExportFileName(const QDateTime &when)
{
    return QStringLiteral("价格记录-") + when.toString(QStringLiteral("yyyyMMdd-HHmm")) + QStringLiteral(".xlsx");
}

FileError ExportError(FileError::Kind kind, std::filesystem::path file, QString reason)
{
    FileError error{std::move(file), std::move(reason)};
    error.kind = kind;
    return error;
}

tl::unexpected<FileError> WorkbookWriteFailure(const std::filesystem::path &file, const QString &reason)
{
    return tl::unexpected(ExportError(FileError::Kind::Access, file, reason));
}

tl::unexpected<FileError> ExportCancelled(const std::filesystem::path &file)
{
    return tl::unexpected(ExportError(FileError::Kind::Cancelled, file));
}

std::string ColumnLetter(int n)
{
    std::string letters;
    while (n > 0) {
        const int digit = (n - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + digit));
        n = (n - 1) / 26;
    }
    return letters;
}

std::string WorkbookCellText(std::string_view gbk)
{
    const bool ascii = std::none_of(gbk.begin(), gbk.end(), IsHighByte);
    std::string utf8 = ascii ? std::string(gbk) : GbkToUtf8(gbk);
    // A literal "_x0041_" would be read back as the escape of "A".
    for (size_t at = utf8.find("_x"); at != std::string::npos; at = utf8.find("_x", at + 1)) {
        if (at + 6 < utf8.size() && utf8[at + 6] == '_' &&
            std::all_of(utf8.begin() + static_cast<long>(at) + 2, utf8.begin() + static_cast<long>(at) + 6,
                        [](char h) { return std::isxdigit(static_cast<unsigned char>(h)) != 0; })) {
            utf8.insert(at + 1, "x005F_");
            at += 6;
        }
    }
    if (utf8.size() <= kMaxCellCharacters)
        return utf8;
    // Count characters (lead bytes), never cutting one in half.
    size_t characters = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && ++characters > kMaxCellCharacters) {
            utf8.resize(i);
            break;
        }
    }
    return utf8;
}

bool TellRowsWritten(const ExportProgress &progress, int rowsWritten, int rowCount)
{
    constexpr int kRowsPerStep = 256;
    if (progress && (rowsWritten % kRowsPerStep == 0 || rowsWritten == rowCount))
        return progress(rowsWritten, rowCount);
    return true;
}

Result<ExportDone> ExportGridToExcel(const ProductGridModel &grid, const std::filesystem::path &target,
                                     const std::filesystem::path &templatePath, const QDateTime &capturedAt,
                                     const ExportProgress &progress, const UnitPriceGrid &unitPrices)
{
    if (grid.RowCount() + 1LL > kMaxSheetRows || grid.ColumnCount() > kMaxSheetColumns) {
        FileError tooLarge = ExportError(FileError::Kind::TooLarge, target);
        tooLarge.rows = grid.RowCount();
        tooLarge.columns = grid.ColumnCount();
        return tl::unexpected(std::move(tooLarge));
    }

    PendingFile pending(target);
    if (!pending.Reserve())
        return WorkbookWriteFailure(target, pending.Error());

    std::error_code ec;
    const bool haveTemplate = !templatePath.empty() && std::filesystem::exists(templatePath, ec);
    Result<ExportDone> result =
        haveTemplate ? FromTemplate(grid, templatePath, pending.Path(), capturedAt, progress)
                     : WriteFreshWorkbook(grid, pending.Path(), capturedAt, progress, unitPrices).map([] {
                           return ExportDone();
                       });
    if (!result) {
        // The user chose the target, not the temporary name beside it.
        if (result.error().path == pending.Path())
            result.error().path = target;
        return result;
    }
    return pending.Commit().map([&] { return *result; });
}

} // namespace corvix
