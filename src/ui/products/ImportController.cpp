#include "ui/products/ImportController.h"

#include "ui/Session.h"
#include "capture/CapturePlan.h"
#include "products/ImportText.h"
#include "products/LinkFile.h"
#include "products/ProductChanges.h"
#include "products/ProductGridModel.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/PathText.h"
#include "support/HostName.h"
#include "ui/EntryWindows.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/UiSettings.h"
#include "ui/pages/ProductListPage.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace corvix {
namespace {

// Import texts are CR LF lines; the clipboard of this desktop and the edit box
// separate lines with a bare line feed.
QString WithCrLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

QString ForEditor(const std::string &gbk)
{
    QString text = FromGbk(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString IgnoredLinksText(int ignored, int ruleColumns)
{
    const QString head = QStringLiteral("另有") + QString::number(ignored) + QStringLiteral("个链接被忽略：");
    if (ruleColumns == 0)
        return head + QStringLiteral("还没有启用任何采集规则，链接没有对应的列。");
    return head + QStringLiteral("只启用了") + QString::number(ruleColumns) + QStringLiteral("条采集规则，每行只用前")
           + QString::number(ruleColumns) + QStringLiteral("个链接。");
}

// "第3、5行", or "第1、2…10行等12行": a file full of such lines would make an
// endless message.
QString LineNumbersText(const std::vector<int> &lines)
{
    constexpr size_t kNamed = 10;
    QStringList numbers;
    for (size_t i = 0; i < lines.size() && i < kNamed; ++i)
        numbers << QString::number(lines[i]);
    QString text = QStringLiteral("第") + numbers.join(QStringLiteral("、")) + QStringLiteral("行");
    if (lines.size() > kNamed)
        text += QStringLiteral("等") + QString::number(lines.size()) + QStringLiteral("行");
    return text;
}

QString LinesWithoutGbkText(const std::vector<int> &lines)
{
    return LineNumbersText(lines) + QStringLiteral("有无法用GBK保存的字符，已换成“?”，请检查这些行。");
}

QString LinesWithoutProductText(const std::vector<int> &lines)
{
    return LineNumbersText(lines) + QStringLiteral("没有导入：每行先写商品名称，再写各商城的链接，用逗号、竖线或制表符分开。");
}

} // namespace

ImportController::ImportController(ProductListPage *page, Session &session, UiSettings &settings)
    : QObject(page), page_(page), grid_(page->Grid()), session_(session), settings_(settings)
{
    connect(page_, &ProductListPage::pasteImportRequested, this, &ImportController::PasteImport);
    connect(page_, &ProductListPage::fileImportRequested, this, &ImportController::FileImport);
    connect(page_, &ProductListPage::gridDoubleClicked, this, &ImportController::EditCell);
}

std::optional<ImportMode> ImportController::ChooseImportMode(const std::vector<ImportedProduct> &products)
{
    // The products there are must be known: an import would write over them.
    const Result<LinkFile> read = AbsentAsEmpty(LinkFile::Load(LinkFilePath(session_.dirs)));
    if (!read) {
        ShowReadFailure(QStringLiteral("导入商品"), read.error());
        return std::nullopt;
    }
    const LinkFile &links = *read;
    if (ProductsDroppedByReplace(links, products) == 0)
        return ImportMode::Replace;
    const QString question = QStringLiteral("要用导入的 %1 个商品替换现有的 %2 个商品吗？")
                                 .arg(products.size())
                                 .arg(links.ProductCount())
                             + QStringLiteral("\r\n追加：导入的商品排在现有商品之后，同名商品更新链接。")
                             + QStringLiteral("\r\n替换：商品列表只留下导入的商品。");
    switch (AskQuestion(question, {QStringLiteral("追加"), QStringLiteral("替换"), QStringLiteral("取消")})) {
    case 0:
        return ImportMode::Append;
    case 1:
        return ImportMode::Replace;
    default:
        return std::nullopt;
    }
}

void ImportController::ReportImportedLines(const std::string &text, const std::vector<int> &linesWithoutGbk)
{
    const int ruleColumns = std::max(grid_->ColumnCount() - 2, 0);
    const ImportCount count = CountImport(text, ruleColumns);
    QString report = QStringLiteral("已导入：") + QString::number(count.rows) + QStringLiteral("条数据。");
    if (count.ignoredLinks > 0)
        report += QStringLiteral("\r\n") + IgnoredLinksText(count.ignoredLinks, ruleColumns);
    if (!count.linesWithoutProduct.empty())
        report += QStringLiteral("\r\n") + LinesWithoutProductText(count.linesWithoutProduct);
    if (!linesWithoutGbk.empty())
        report += QStringLiteral("\r\n") + LinesWithoutGbkText(linesWithoutGbk);
    ShowMessage(report);
}

// The products are kept the moment they are imported: closing the program
// before a run loses none of them, and the grid shows them at once.
void ImportController::Import(const std::string &text, const std::vector<int> &linesWithoutGbk)
{
    if (text.empty())
        return;
    const std::vector<ImportedProduct> products = ImportedProducts(text);
    if (!products.empty()) {
        const std::optional<ImportMode> mode = ChooseImportMode(products);
        if (!mode)
            return;
        const std::vector<std::string> shops = grid_->ShopTitles();
        const Result<LinkFile> links = ImportProducts(session_.dirs, products, shops, *mode);
        if (!links) {
            ShowFileFailure(QStringLiteral("导入商品"), links.error());
            return;
        }
        ShowPlanRows(*grid_, PlanFromLinkFile(*links, shops), session_.dirs.dbDir, KeptTexts::MarksAsBefore);
    }
    ReportImportedLines(text, linesWithoutGbk);
}

void ImportController::PasteImport()
{
    std::string text;
    {
        PasteImportWindow window;
        const QString clipboard = QGuiApplication::clipboard()->text();
        window.Editor()->setPlainText(ForEditor(PrepareClipboardText(ToGbk(WithCrLf(clipboard)))));
        connect(&window, &PasteImportWindow::entryKept, &window, [&text, &window] {
            const QString typed = window.Editor()->toPlainText();
            if (!typed.isEmpty())
                text = NormaliseSeparators(ToGbk(WithCrLf(typed)));
        });
        window.exec();
    }
    Import(text);
}

void ImportController::FileImport()
{
    const QString name =
        AskOpenFileName(QStringLiteral("导入文件(只能是txt后缀格式)"), QStringLiteral("文本文档(*.txt)|*.txt"),
                        UserStartFolder(settings_.LastImportFolder()));
    if (name.isEmpty())
        return;
    settings_.SetLastImportFolder(QFileInfo(name).absolutePath());
    // A file gone since it was chosen imports nothing, as an empty one does.
    const Result<std::string> bytes = AbsentAsEmpty(ReadWholeFile(PathOf(name), StopAt::ZeroByte));
    if (!bytes) {
        ShowReadFailure(QStringLiteral("导入商品"), bytes.error());
        return;
    }
    const ImportFile file = DecodeImportFile(*bytes);
    Import(NormaliseSeparators(file.text), file.linesWithoutGbk);
}

LinkInputWindow *ImportController::EditCell(const QPoint &viewportPos)
{
    const GridHit hit = page_->HitTest(viewportPos);
    CurrentCell &cell = session_.currentCell;
    cell.Reset();
    // Below the last row there is no product to enter anything for; the
    // title opens the product's own window (ProductListController).
    if (hit.column < kFirstSiteColumn || hit.row < 0)
        return nullptr;
    cell.row = hit.row;
    cell.column = hit.column;
    cell.title = grid_->Title(hit.column);

    auto *window = new LinkInputWindow(page_->window());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("请输入") + FromGbk(cell.title) + QStringLiteral("链接"));
    window->Editor()->setPlainText(FromGbk(ReadLink(session_.dirs, hit.row, cell.title)));
    const int ownRow = hit.row;
    const int ownColumn = hit.column;
    connect(window, &LinkInputWindow::entryKept, this, [this, window, ownRow, ownColumn] {
        StoreEntry(window->Editor()->toPlainText(), ownRow, ownColumn);
    });
    window->show();
    return window;
}

// The entry goes to the cell the window was opened for: CurrentCell may name
// another cell by now (a click, a second entry window, a capture run).
void ImportController::StoreEntry(const QString &typed, int row, int column)
{
    const std::string text = SingleLineText(ToGbk(typed));
    if (text.empty())
        return;
    if (row < 0 || row >= grid_->RowCount() || column < kFirstSiteColumn || column >= grid_->ColumnCount())
        return;
    const DataDirs &dirs = session_.dirs;
    if (FirstHostName(text).empty()) {
        ShowMessage(QStringLiteral("输入的链接不正确！\r\n请确保链接中带有：http 或 https 等协议。"));
        return;
    }
    const std::string &key = grid_->Title(column);
    if (!IsStorableKey(key)) {
        ShowMessage(QStringLiteral("规则名称只有空格，无法为它保存链接：请先给这个规则换一个不是空白的名称。"));
        return;
    }
    if (const auto written = WriteLink(dirs, row, key, text); !written) {
        ShowFileFailure(QStringLiteral("保存链接"), written.error());
        return;
    }
    grid_->SetText(row, column, "-");
}

} // namespace corvix
