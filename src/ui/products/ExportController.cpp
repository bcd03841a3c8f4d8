#include "ui/products/ExportController.h"

#include "products/ExcelExport.h"
#include "products/ProductGridModel.h"
#include "support/PathText.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/Session.h"
#include "ui/ShellOpen.h"
#include "ui/UiSettings.h"
#include "ui/pages/ProductListPage.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace corvix {
namespace {

// A shorter export is over before a bar could be read.
constexpr int kShowProgressAfterMs = 500;

} // namespace

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
    // The export runs in one step on this thread. Its bar is window-modal: the
    // repaints it makes let no click or key reach the grid being written, and
    // the export button stays off until the workbook is done.
    page_->SetExportEnabled(false);
    const ProductGridModel &grid = *page_->Grid();
    QProgressDialog bar(QString(), QString(), 0, std::max(grid.RowCount(), 1), page_);
    bar.setWindowModality(Qt::WindowModal);
    bar.setMinimumDuration(kShowProgressAfterMs);
    bar.setAutoReset(false);
    const ExportResult result = ExportGridToExcel(grid, PathOf(fileName), session_.dirs.classDir / "temp.xls",
                                                  [&bar](int rowsWritten, int) { bar.setValue(rowsWritten); });
    bar.reset();
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
