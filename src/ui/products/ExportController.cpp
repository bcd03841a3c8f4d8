#include "ui/products/ExportController.h"

#include "ui/Session.h"
#include "products/ExcelExport.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/pages/ProductListPage.h"

namespace corvix {

ExportController::ExportController(ProductListPage *page, Session &session)
    : QObject(page), page_(page), session_(session)
{
    connect(page_, &ProductListPage::exportRequested, this, &ExportController::ExportToExcel);
}

void ExportController::ExportToExcel()
{
    const QString fileName = AskSaveFileName(QStringLiteral("保存文件"), QStringLiteral("Excel文档(*.xlsx)|*.xlsx"),
                                             QStringLiteral("xlsx"));
    if (fileName.isEmpty())
        return;
    // Events are pumped during the export; a second export must not start inside it.
    page_->SetExportEnabled(false);
    const ExportResult result = ExportGridToExcel(*page_->Grid(), std::filesystem::path(fileName.toStdU16String()),
                                                  session_.dirs.classDir / "temp.xls");
    page_->SetExportEnabled(true);
    if (!result.templateNotice.isEmpty())
        ShowMessage(result.templateNotice);
    if (!result.unwrittenFile.empty())
        ShowWriteFailure(QStringLiteral("导出"), result.unwrittenFile);
    else if (!result.ok)
        ShowMessage(result.error);
}

} // namespace corvix
