#include "ui/rules/RuleListController.h"

#include "ui/Session.h"
#include "ui/rules/RuleEditorController.h"
#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "ui/pages/RuleListView.h"
#include "rules/RuleTitle.h"
#include "support/FileIo.h"
#include "support/PathText.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/pages/RuleListPage.h"

#include <QTreeWidget>

namespace corvix {
namespace {

using enum RuleListPage::Column;

const QString &EnabledText()
{
    static const QString text = QStringLiteral("启用");
    return text;
}

const QString &ClosedText()
{
    static const QString text = QStringLiteral("关闭");
    return text;
}

} // namespace

RuleListController::RuleListController(MainWindow *window, Session &session, RuleEditorController *editor,
                                       std::function<void()> runRuleTest, QObject *parent)
    : QObject(parent),
      page_(window->RulesPage()),
      editor_(editor),
      runRuleTest_(std::move(runRuleTest)),
      list_(page_->List()),
      colours_(RowColourDelegate::On(list_)),
      session_(session)
{
    connect(window, &MainWindow::tabShown, this, [this](MainTab tab) {
        if (tab == MainTab::RuleList)
            LoadRuleList();
    });
    connect(page_, &RuleListPage::menuRequested, this, &RuleListController::ShowRuleMenu);
    connect(page_, &RuleListPage::refreshRequested, this, &RuleListController::LoadRuleList);
    connect(page_, &RuleListPage::toggleRequested, this, &RuleListController::ToggleRuleEnabled);
    connect(page_, &RuleListPage::deleteRequested, this, &RuleListController::DeleteRule);
    connect(page_, &RuleListPage::editRequested, this, [this] { editor_->LoadRuleIntoEditor(); });
    connect(page_, &RuleListPage::testRequested, this, [this] {
        if (editor_->LoadRuleIntoEditor() && runRuleTest_)
            runRuleTest_();
    });
}

void RuleListController::LoadRuleList()
{
    const DataDirs &dirs = session_.dirs;
    const std::vector<std::string> titles = ReadRuleIndex(dirs);
    list_->clear();
    for (const std::string &title : titles) {
        const int row = list_->topLevelItemCount();
        auto *item = new QTreeWidgetItem(list_);
        item->setText(kIdColumn, QString::number(row + 1));
        item->setText(kTitleColumn, FromGbk(title));
        const Rule rule = ParseRule(ReadRuleText(dirs, title, StopAt::ZeroOrTextEnd));
        item->setText(kKindColumn, rule.builtIn ? QStringLiteral("内置") : QStringLiteral("自定义添加"));
        item->setText(kStateColumn, rule.enabled ? EnabledText() : ClosedText());
        SetListRowColour(row, rule.enabled);
        item->setText(kTimeColumn, FromGbk(rule.time));
        for (int column : {kKindColumn, kStateColumn})
            item->setTextAlignment(column, Qt::AlignHCenter | Qt::AlignVCenter);
    }
}

std::string RuleListController::TitleOfRow(int row) const
{
    return ToGbk(page_->TitleOfRow(row));
}

void RuleListController::SetListRowColour(int row, bool enabled)
{
    colours_->SetRowColours(row, enabled ? kEnabledRowText : kClosedRowText, kWhite);
}

void RuleListController::ShowRuleMenu(const QPoint &globalPos, bool viaKeyboard)
{
    const int row = page_->SelectedRow();
    if (row < 0)
        return;
    const bool builtIn = ParseRule(ReadRuleText(session_.dirs, TitleOfRow(row), StopAt::ZeroOrTextEnd)).builtIn;
    page_->ShowMenu(globalPos, viaKeyboard, builtIn);
}

std::optional<bool> SwitchRuleAndTell(const DataDirs &dirs, const std::string &title, bool enable)
{
    const RuleSwitch result = SwitchRule(dirs, title, enable);
    switch (result.outcome) {
    case RuleSwitch::Outcome::Written:
        return result.enabled;
    case RuleSwitch::Outcome::NoRuleFile:
        ShowMessage(QStringLiteral("启用/关闭失败：找不到规则文件，规则的状态没有改变。"));
        break;
    case RuleSwitch::Outcome::FlagUnclosed:
        ShowMessage(QStringLiteral("启用/关闭失败：规则文件中的 [open] 没有结束标记 [/open]，规则的状态没有改变。"));
        break;
    case RuleSwitch::Outcome::Failed:
        ShowFileFailure(QStringLiteral("启用/关闭规则"), result.error);
        break;
    }
    return std::nullopt;
}

void RuleListController::ToggleRuleEnabled()
{
    const int row = page_->SelectedRow();
    if (row < 0)
        return;
    QTreeWidgetItem *item = list_->topLevelItem(row);
    const bool shownClosed = item->text(kStateColumn) == ClosedText();
    const std::optional<bool> enabled = SwitchRuleAndTell(session_.dirs, TitleOfRow(row), shownClosed);
    if (!enabled)
        return;
    item->setText(kStateColumn, *enabled ? EnabledText() : ClosedText());
    SetListRowColour(row, *enabled);
    emit rulesChanged();
}

void RuleListController::DeleteRule()
{
    const int row = page_->SelectedRow();
    if (row < 0)
        return;
    const DataDirs &dirs = session_.dirs;
    const std::string title = TitleOfRow(row);
    // The menu offers no 删除 for a built-in rule; the Delete key asks here.
    if (ParseRule(ReadRuleText(dirs, title, StopAt::ZeroOrTextEnd)).builtIn) {
        ShowMessage(QStringLiteral("内置规则不能删除。"));
        return;
    }
    if (!ConfirmDelete(QStringLiteral("规则“") + FromGbk(title) + QStringLiteral("”")))
        return;
    if (const Result<void> deleted = corvix::DeleteRule(dirs, title); !deleted) {
        const FileError &error = deleted.error();
        if (error.path == RuleFilePath(dirs, title))
            ShowMessage(QStringLiteral("删除规则失败：无法删除规则文件\n") + PathText(error.path) + QStringLiteral("\n（")
                        + error.reason + QStringLiteral("），规则仍然保留。"));
        else
            ShowFileFailure(QStringLiteral("删除规则"), error);
        return;
    }
    delete list_->takeTopLevelItem(row);
    colours_->RemoveRow(row);
    ShowMessage(QStringLiteral("删除规则成功！"));
}

} // namespace corvix
