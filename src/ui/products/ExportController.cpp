#include "ui/products/ExportController.h"

#include "ui/Session.h"
#include "products/ExcelExport.h"
#include "ui/FileDialogs.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"

#include <QPushButton>

namespace corvix {

ExportController::ExportController(MainWindow *window, Session &session) : QObject(window), window_(window), session_(session)
{
    if (auto *button = window_->findChild<QPushButton *>(QStringLiteral("按钮7")))
        connect(button, &QPushButton::clicked, this, &ExportController::ExportToExcel);
}

void ExportController::ExportToExcel()
{
    const QString fileName = AskSaveFileName(QStringLiteral("保存文件"), QStringLiteral("Excel文档(*.xlsx)|*.xlsx"),
                                             QStringLiteral("xlsx"));
    if (fileName.isEmpty())
        return;
    // Events are pumped during the export; a second export must not start inside it.
    auto *button = window_->findChild<QPushButton *>(QStringLiteral("按钮7"));
    if (button)
        button->setEnabled(false);
    const ExportResult result = ExportGridToExcel(*window_->Grid(), std::filesystem::path(fileName.toStdU16String()),
                                                  session_.dirs.classDir / "temp.xls");
    if (button)
        button->setEnabled(true);
    if (!result.templateNotice.isEmpty())
        ShowMessage(result.templateNotice);
    if (!result.unwrittenFile.empty())
        ShowWriteFailure(QStringLiteral("导出"), result.unwrittenFile);
    else if (!result.ok)
        ShowMessage(result.error);
}

} // namespace corvix
