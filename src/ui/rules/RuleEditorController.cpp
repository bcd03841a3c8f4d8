#include "ui/rules/RuleEditorController.h"

#include "ui/Session.h"
#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "ui/rules/RuleListView.h"
#include "support/DateTime.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace corvix {
namespace {

template <typename W> W *Control(MainWindow *window, const char16_t *name)
{
    return window->findChild<W *>(QString::fromUtf16(name));
}

// The multi-line boxes break lines with "\n"; rule files keep the "\r\n" the
// user's lines were typed with.
std::string MarkerFromBox(const QPlainTextEdit *box)
{
    QString text = box->toPlainText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToGbk(text);
}

void MarkerToBox(QPlainTextEdit *box, const std::string &gbk)
{
    QString text = FromGbk(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box->setPlainText(text);
}

} // namespace

RuleEditorController::RuleEditorController(MainWindow *window, Session &session, QObject *parent)
    : QObject(parent),
      window_(window),
      title_(Control<QLineEdit>(window, u"编辑框1")),
      markerMethod_(Control<QRadioButton>(window, u"单选框1")),
      elementMethod_(Control<QRadioButton>(window, u"单选框2")),
      pages_(window->ExtractionPages()),
      left_(Control<QPlainTextEdit>(window, u"编辑框2")),
      right_(Control<QPlainTextEdit>(window, u"编辑框3")),
      elementName_(Control<QLineEdit>(window, u"编辑框7")),
      elementType_(Control<QComboBox>(window, u"组合框2")),
      save_(Control<QPushButton>(window, u"按钮2")), session_(session)
{
    // A click shows the method's page even when the button is checked already
    // (arrow keys in the group click the next button too); a loaded rule shows
    // its page itself.
    connect(markerMethod_, &QRadioButton::clicked, this, [this] { ShowExtractionPage(0); });
    connect(elementMethod_, &QRadioButton::clicked, this, [this] { ShowExtractionPage(1); });
    connect(save_, &QPushButton::clicked, this, &RuleEditorController::SaveRule);
}

void RuleEditorController::ShowExtractionPage(int page)
{
    pages_->setCurrentIndex(page);
}

void RuleEditorController::SaveRule()
{
    if (title_->text().isEmpty()) {
        ShowMessage(QStringLiteral("采集标题不能为空,只能为中文/英文/数字"));
        return;
    }
    const bool markerMethod = markerMethod_->isChecked();
    if (markerMethod) {
        if (left_->toPlainText().isEmpty()) {
            ShowMessage(QStringLiteral("采集规则左边不能为空"));
            return;
        }
        if (right_->toPlainText().isEmpty()) {
            ShowMessage(QStringLiteral("采集规则右边不能为空"));
            return;
        }
    } else if (elementName_->text().isEmpty()) {
        ShowMessage(QStringLiteral("元素名称不能为空支持：标题/索引/ID/Class等方式。"));
        return;
    }

    Rule rule;
    rule.time = FormatTimestamp();
    rule.left = MarkerFromBox(left_);
    rule.right = MarkerFromBox(right_);
    rule.method = markerMethod ? RuleMethod::Markers : RuleMethod::Element;
    rule.elementName = ToGbk(elementName_->text());
    rule.elementKind = ToGbk(elementType_->currentText());

    const DataDirs &dirs = session_.dirs;
    const std::string title = ToGbk(title_->text());
    switch (WriteRuleText(dirs, title, ComposeRuleText(rule))) {
    case RuleWriteResult::Written:
        break;
    case RuleWriteResult::InvalidTitle:
        ShowMessage(
            QStringLiteral("规则未保存：采集名称不能用作规则文件名（例如含有 / 或 \\ 等字符，或者是 . 或 ..）。"));
        return;
    case RuleWriteResult::WriteFailed:
        ShowWriteFailure(QStringLiteral("保存规则"), RuleFilePath(dirs, title));
        return;
    }
    bool indexed = false;
    UpdateRuleIndex(dirs, title, false, &indexed);
    if (!indexed) {
        ShowWriteFailure(QStringLiteral("保存规则"), RuleIndexPath(dirs));
        return;
    }
    ShowMessage(QStringLiteral("添加成功"));
}

bool RuleEditorController::LoadRuleIntoEditor()
{
    QTreeWidget *list = window_->RuleList();
    const int row = SelectedRow(list);
    if (row < 0)
        return false;
    const QString title = list->topLevelItem(row)->text(1);
    const Rule rule = ParseRule(ReadRuleText(session_.dirs, ToGbk(title), StopAt::ZeroOrTextEnd));

    title_->setText(title);
    MarkerToBox(left_, rule.left);
    MarkerToBox(right_, rule.right);
    if (rule.method == RuleMethod::Markers) {
        markerMethod_->setChecked(true);
        ShowExtractionPage(0);
    } else if (rule.method == RuleMethod::Element) {
        ShowExtractionPage(1);
        elementMethod_->setChecked(true);
    }
    elementName_->setText(FromGbk(rule.elementName));
    const int typeItem = ElementKindIndex(rule.elementKind);
    if (typeItem >= 0)
        elementType_->setCurrentIndex(typeItem);
    window_->Tabs()->setCurrentIndex(2);
    return true;
}

} // namespace corvix
