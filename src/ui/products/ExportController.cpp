#include "ui/products/ExportController.h"

#include "products/ExcelExport.h"
#include "products/PackSizeFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordStamp.h"
#include "products/WorkbookExport.h"
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

QString ExportFailureText(const FileError &error)
{
    const QString file = PathText(error.path);
    switch (error.kind) {
    case FileError::Kind::TooLarge:
        return QStringLiteral("导出失败：表格有 %1 行、%2 列，超出了 Excel 工作表的上限（%3 行、%4 列）。")
            .arg(error.rows)
            .arg(error.columns)
            .arg(kMaxSheetRows - 1)
            .arg(kMaxSheetColumns);
    case FileError::Kind::NoTemporaryFolder:
        return QStringLiteral("导出失败：无法创建临时目录。\n%1").arg(error.reason);
    case FileError::Kind::NotAWorkbook:
        return QStringLiteral("导出失败：模板文件不是可读的 Excel 工作簿。\n%1").arg(file);
    case FileError::Kind::Damaged:
        return QStringLiteral("导出失败：模板文件已损坏或不是 Excel 工作簿。\n%1\n%2").arg(file, error.reason);
    case FileError::Kind::NotConverted:
        return QStringLiteral("导出失败：无法转换旧格式的模板文件。\n%1\n%2").arg(file, error.reason);
    case FileError::Kind::Access:
        return QStringLiteral("导出失败：无法写入文件\n%1\n%2").arg(file, error.reason);
    case FileError::Kind::Cancelled:
        break;
    }
    return {};
}

} // namespace

bool TellExportProblems(const Result<ExportDone> &result)
{
    if (result && !result->skippedTemplate.empty())
        ShowMessage(QStringLiteral("模板文件无法使用：\n%1\n它是旧的 Excel 97-2003 格式（.xls），读取它需要 LibreOffice "
                                   "（soffice），但本机没有安装。本次导出没有使用模板。")
                        .arg(PathText(result->skippedTemplate)));
    if (result)
        return true;
    if (result.error().kind == FileError::Kind::Access)
        ShowWriteFailure(QStringLiteral("导出"), result.error());
    else if (result.error().kind != FileError::Kind::Cancelled)
        ShowMessage(ExportFailureText(result.error()));
    return false;
}

ExportRun::ExportRun(QWidget *window, const ProductGridModel &grid, WorkbookExportRequest request,
                     UiSettings *settings)
    : QObject(window), bar_(std::make_unique<StepProgress>(window, QStringLiteral("正在导出……"), Qt::NonModal)),
      export_(new WorkbookExport(grid, std::move(request), this)), settings_(settings)
{
    connect(export_, &WorkbookExport::progressChanged, this,
            [this](int rowsWritten, int rowCount) { bar_->Tell(rowsWritten, rowCount); });
    connect(export_, &WorkbookExport::finished, this, &ExportRun::Tell);
    export_->Start();
}

ExportRun::~ExportRun() = default;

void ExportRun::Finish()
{
    export_->Wait();
}

void ExportRun::Tell(const Result<ExportDone> &outcome)
{
    bar_.reset();
    if (TellExportProblems(outcome))
        TellExported(PathText(export_->Target()), settings_);
    emit ended();
    deleteLater();
}

void ExportController::ExportToExcel()
{
    // The button is off meanwhile; a click queued before that starts nothing.
    if (run_)
        return;
    const QString fileName = AskWorkbookName(ProposedFile());
    if (fileName.isEmpty())
        return;
    page_->SetExportEnabled(false);
    run_ = new ExportRun(page_, *page_->Grid(),
                         {PathOf(fileName), session_.dirs.classDir / "temp.xls", CapturedAt(),
                          PackSizeFile::Load(PackSizeFilePath(session_.dirs))},
                         &settings_);
    connect(run_, &ExportRun::ended, this, [this] { page_->SetExportEnabled(true); });
}

void ExportController::FinishExport()
{
    if (run_)
        run_->Finish();
}

ExportRun *ExportPriceHistory(QWidget *window, const ProductGridModel &table, const QString &product,
                              UiSettings *settings)
{
    const QString folder = UserStartFolder(settings ? settings->LastExportFolder() : QString());
    const QString fileName =
        AskWorkbookName(QDir(folder).filePath(ProposedHistoryFileName(product, QDate::currentDate())));
    if (fileName.isEmpty())
        return nullptr;
    return new ExportRun(window, table, {PathOf(fileName), {}, {}, {}}, settings);
}

} // namespace corvix
