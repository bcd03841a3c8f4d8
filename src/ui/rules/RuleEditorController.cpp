#include "ui/rules/RuleEditorController.h"

#include "ui/Session.h"
#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "rules/RuleTitle.h"
#include "support/DateTime.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/pages/RuleEditorPage.h"
#include "ui/pages/RuleListPage.h"
#include "ui/rules/RuleListController.h"

namespace corvix {
namespace {

// The multi-line boxes break lines with "\n"; rule files keep the "\r\n" the
// user's lines were typed with.
std::string MarkerFromBox(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToGbk(text);
}

QString MarkerForBox(const std::string &gbk)
{
    QString text = FromGbk(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace

RuleEditorController::RuleEditorController(MainWindow *window, Session &session, QObject *parent)
    : QObject(parent), window_(window), page_(window->EditorPage()), session_(session)
{
    connect(page_, &RuleEditorPage::saveRuleRequested, this, &RuleEditorController::SaveRule);
}

void RuleEditorController::SaveRule()
{
    const RuleEditorInputs inputs = page_->Inputs();
    if (inputs.title.isEmpty()) {
        ShowMessage(QStringLiteral("采集标题不能为空,只能为中文/英文/数字"));
        return;
    }
    const bool markerMethod = inputs.method == RuleMethod::Markers;
    if (markerMethod) {
        if (inputs.left.isEmpty()) {
            ShowMessage(QStringLiteral("采集规则左边不能为空"));
            return;
        }
        if (inputs.right.isEmpty()) {
            ShowMessage(QStringLiteral("采集规则右边不能为空"));
            return;
        }
    } else if (inputs.elementName.isEmpty()) {
        ShowMessage(QStringLiteral("元素名称不能为空支持：标题/索引/ID/Class等方式。"));
        return;
    }

    Rule rule;
    rule.time = FormatTimestamp();
    rule.left = MarkerFromBox(inputs.left);
    rule.right = MarkerFromBox(inputs.right);
    rule.method = markerMethod ? RuleMethod::Markers : RuleMethod::Element;
    rule.elementName = ToGbk(inputs.elementName);
    rule.elementKind = ToGbk(inputs.elementKind);

    const DataDirs &dirs = session_.dirs;
    const std::string title = ToGbk(inputs.title);
    if (!IsValidRuleTitle(title)) {
        ShowMessage(
            QStringLiteral("规则未保存：采集名称不能用作规则文件名（例如含有 / 或 \\ 等字符，或者是 . 或 ..）。"));
        return;
    }
    Result<Rule> stored = StoreRule(dirs, title, std::move(rule));
    if (!stored) {
        ShowFileFailure(QStringLiteral("保存规则"), stored.error());
        return;
    }
    rule = std::move(*stored);
    emit rulesChanged();
    // A rule chosen on a page is one step from its column; a built-in rule is
    // switched nowhere but in its file.
    const bool offerEnable = page_->HoldsPickedRule() && !rule.enabled && !rule.builtIn;
    page_->SetHoldsPickedRule(false);
    if (!offerEnable) {
        ShowMessage(QStringLiteral("添加成功"));
        return;
    }
    if (AskQuestion(QStringLiteral("添加成功。是否立即启用这条规则？"),
                    {QStringLiteral("启用"), QStringLiteral("暂不启用")})
        != 0)
        return;
    if (SwitchRuleAndTell(dirs, title, true))
        emit rulesChanged();
}

bool RuleEditorController::LoadRuleIntoEditor()
{
    RuleListPage *list = window_->RulesPage();
    const int row = list->SelectedRow();
    if (row < 0)
        return false;
    const QString title = list->TitleOfRow(row);
    const Rule rule = ParseRule(ReadRuleText(session_.dirs, ToGbk(title), StopAt::ZeroOrTextEnd));

    page_->SetHoldsPickedRule(false);
    page_->SetTitle(title);
    page_->SetMarkers(MarkerForBox(rule.left), MarkerForBox(rule.right));
    page_->SelectMethod(rule.method);
    page_->SetElement(FromGbk(rule.elementName), ElementKindIndex(rule.elementKind));
    window_->ShowTab(MainTab::RuleEditor);
    return true;
}

} // namespace corvix
