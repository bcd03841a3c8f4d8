#include "ui/products/ExportController.h"

#include "products/ExcelExport.h"
#include "products/PackSizeFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordStamp.h"
#include "support/PathText.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/StepProgress.h"
#include "ui/Session.h"
#include "ui/ShellOpen.h"
#include "ui/UiSettings.h"
#include "ui/pages/ProductListPage.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace corvix {
ExportController::ExportController(ProductListPage *page, Session &session, UiSettings &settings)
    : QObject(page), page_(page), session_(session), settings_(settings)
{
    connect(page_, &ProductListPage::exportRequested, this, &ExportController::ExportToExcel);
}

QString ExportController::ProposedFile() const
{
    return QDir(UserStartFolder(settings_.LastExportFolder()))
        .filePath(ProposedExportFileName(QDateTime::currentDateTime()));
}

// Results never saved were captured just now; a record whose name is no time
// leaves the workbook undated.
QDateTime ExportController::CapturedAt() const
{
    const std::string record = shownRecord_ ? shownRecord_() : std::string();
    if (record.empty())
        return QDateTime::currentDateTime();
    return RecordDateTime(record).value_or(QDateTime());
}

namespace {

// Says where the workbook went, with a button that opens its folder; the
// folder is where the next export starts.
void TellExported(const QString &fileName, UiSettings *settings)
{
    const QString folder = QFileInfo(fileName).absolutePath();
    if (settings)
        settings->SetLastExportFolder(folder);
    const int pressed = AskQuestion(QStringLiteral("导出成功：") + QDir::toNativeSeparators(fileName),
                                    {QStringLiteral("确定"), QStringLiteral("打开文件夹")});
    if (pressed == 1)
        OpenWithShell(QUrl::fromLocalFile(folder));
}

QString AskWorkbookName(const QString &proposed)
{
    return AskSaveFileName(QStringLiteral("保存文件"), QStringLiteral("Excel文档(*.xlsx)|*.xlsx"),
                           QStringLiteral("xlsx"), proposed);
}

QString ExportFailureText(const ExportResult &result)
{
    const QString file = PathText(result.file);
    switch (result.problem) {
    case ExportProblem::TooLarge:
        return QStringLiteral("导出失败：表格有 %1 行、%2 列，超出了 Excel 工作表的上限（%3 行、%4 列）。")
            .arg(result.rows)
            .arg(result.columns)
            .arg(kMaxSheetRows - 1)
            .arg(kMaxSheetColumns);
    case ExportProblem::NoTemporaryFolder:
        return QStringLiteral("导出失败：无法创建临时目录。\n%1").arg(result.reason);
    case ExportProblem::TemplateUnreadable:
        return QStringLiteral("导出失败：模板文件不是可读的 Excel 工作簿。\n%1").arg(file);
    case ExportProblem::TemplateDamaged:
        return QStringLiteral("导出失败：模板文件已损坏或不是 Excel 工作簿。\n%1\n%2").arg(file, result.reason);
    case ExportProblem::LegacyTemplateUnconverted:
        return QStringLiteral("导出失败：无法转换旧格式的模板文件。\n%1\n%2").arg(file, result.reason);
    case ExportProblem::CannotWrite:
        return QStringLiteral("导出失败：无法写入文件\n%1\n%2").arg(file, result.reason);
    case ExportProblem::None:
        break;
    }
    return {};
}

} // namespace

bool TellExportProblems(const ExportResult &result)
{
    if (!result.skippedTemplate.empty())
        ShowMessage(QStringLiteral("模板文件无法使用：\n%1\n它是旧的 Excel 97-2003 格式（.xls），读取它需要 LibreOffice "
                                   "（soffice），但本机没有安装。本次导出没有使用模板。")
                        .arg(PathText(result.skippedTemplate)));
    if (result.problem == ExportProblem::CannotWrite)
        ShowWriteFailure(QStringLiteral("导出"), result.file);
    else if (!result.ok)
        ShowMessage(ExportFailureText(result));
    return result.ok;
}

void ExportController::ExportToExcel()
{
    const QString fileName = AskWorkbookName(ProposedFile());
    if (fileName.isEmpty())
        return;
    // The export runs in one step on this thread; the export button stays off
    // until the workbook is done.
    page_->SetExportEnabled(false);
    const ProductGridModel &grid = *page_->Grid();
    ExportResult result;
    {
        StepProgress bar(page_, QStringLiteral("正在导出……"));
        result = ExportGridToExcel(grid, PathOf(fileName), session_.dirs.classDir / "temp.xls", CapturedAt(),
                                   [&bar](int rowsWritten, int rowCount) { bar.Tell(rowsWritten, rowCount); },
                                   UnitPricesOf(grid, PackSizeFile::Load(PackSizeFilePath(session_.dirs))));
    }
    page_->SetExportEnabled(true);
    if (TellExportProblems(result))
        TellExported(fileName, &settings_);
}

void ExportPriceHistory(const ProductGridModel &table, const QString &product, UiSettings *settings)
{
    const QString folder = UserStartFolder(settings ? settings->LastExportFolder() : QString());
    const QString fileName =
        AskWorkbookName(QDir(folder).filePath(ProposedHistoryFileName(product, QDate::currentDate())));
    if (fileName.isEmpty())
        return;
    if (TellExportProblems(ExportGridToExcel(table, PathOf(fileName), {})))
        TellExported(fileName, settings);
}

} // namespace corvix
