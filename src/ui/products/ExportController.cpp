#include "ui/products/ExportController.h"

#include "products/ExcelExport.h"
#include "products/ProductGridModel.h"
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
#include <QStandardPaths>
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
    QString folder = settings_.LastExportFolder();
    // A folder since removed (a USB stick) falls back to the user's documents.
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir(folder).filePath(ProposedExportFileName(QDateTime::currentDateTime()));
}

void ExportController::ExportToExcel()
{
    const QString fileName = AskSaveFileName(QStringLiteral("保存文件"), QStringLiteral("Excel文档(*.xlsx)|*.xlsx"),
                                             QStringLiteral("xlsx"), ProposedFile());
    if (fileName.isEmpty())
        return;
    // The export runs in one step on this thread; the export button stays off
    // until the workbook is done.
    page_->SetExportEnabled(false);
    const ProductGridModel &grid = *page_->Grid();
    ExportResult result;
    {
        StepProgress bar(page_, QStringLiteral("正在导出……"));
        result = ExportGridToExcel(grid, PathOf(fileName), session_.dirs.classDir / "temp.xls",
                                   [&bar](int rowsWritten, int rowCount) { bar.Tell(rowsWritten, rowCount); });
    }
    page_->SetExportEnabled(true);
    if (!result.templateNotice.isEmpty())
        ShowMessage(result.templateNotice);
    if (!result.unwrittenFile.empty())
        ShowWriteFailure(QStringLiteral("导出"), result.unwrittenFile);
    else if (!result.ok)
        ShowMessage(result.error);
    else
        TellExported(fileName);
}

void ExportController::TellExported(const QString &fileName)
{
    const QString folder = QFileInfo(fileName).absolutePath();
    settings_.SetLastExportFolder(folder);
    const int pressed = AskQuestion(QStringLiteral("导出成功：") + QDir::toNativeSeparators(fileName),
                                    {QStringLiteral("确定"), QStringLiteral("打开文件夹")});
    if (pressed == 1)
        OpenWithShell(QUrl::fromLocalFile(folder));
}

} // namespace corvix
