#include "ui/pages/RuleListPage.h"

#include "ui/ContextMenuHook.h"
#include "ui/pages/PageControls.h"
#include "ui/pages/RuleListView.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace corvix {

RuleListPage::RuleListPage(QWidget *parent) : QWidget(parent)
{
    list_ = ReportList(QStringLiteral("超级列表框2"), QStringLiteral("采集规则列表"),
                       {{QStringLiteral("ID"), 50, Qt::AlignLeft},
                        {QStringLiteral("采集名称 ( 右键编辑/删除 )"), 300, Qt::AlignLeft},
                        {QStringLiteral("方式"), 100, Qt::AlignHCenter},
                        {QStringLiteral("状态"), 50, Qt::AlignHCenter},
                        {QStringLiteral("添加时间"), 260, Qt::AlignLeft}});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(list_);
    BuildMenu();
}

void RuleListPage::BuildMenu()
{
    menu_ = Named(new QMenu(QStringLiteral("采集管理"), this), QStringLiteral("采集管理"));
    QAction *refresh = MenuItem(menu_, QStringLiteral("刷新"));
    toggle_ = MenuItem(menu_, QStringLiteral("启用/关闭"));
    edit_ = MenuItem(menu_, QStringLiteral("编辑"));
    test_ = MenuItem(menu_, QStringLiteral("测试"));
    delete_ = MenuItem(menu_, QStringLiteral("删除"));
    connect(refresh, &QAction::triggered, this, &RuleListPage::refreshRequested);
    connect(toggle_, &QAction::triggered, this, &RuleListPage::toggleRequested);
    connect(edit_, &QAction::triggered, this, &RuleListPage::editRequested);
    connect(test_, &QAction::triggered, this, &RuleListPage::testRequested);
    connect(delete_, &QAction::triggered, this, &RuleListPage::deleteRequested);
    // The Delete key asks as the menu's 删除 does. It is an action of its own:
    // the menu item stays disabled after the menu was shown for a built-in rule.
    auto *deleteKey = new QAction(list_);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    list_->addAction(deleteKey);
    connect(deleteKey, &QAction::triggered, this, &RuleListPage::deleteRequested);
    OnContextMenu(list_, [this](const QPoint &globalPos, bool viaKeyboard) { emit menuRequested(globalPos, viaKeyboard); });
}

int RuleListPage::SelectedRow() const
{
    return corvix::SelectedRow(list_);
}

QString RuleListPage::TitleOfRow(int row) const
{
    return list_->topLevelItem(row)->text(kTitleColumn);
}

void RuleListPage::ShowMenu(const QPoint &globalPos, bool viaKeyboard, bool builtIn)
{
    if (builtIn) {
        // Built-in rules are delivered with the program: they may be viewed,
        // tested and overwritten from the editor, but not deleted or toggled.
        delete_->setEnabled(false);
        toggle_->setEnabled(false);
    } else {
        for (QAction *item : {edit_, delete_, test_, toggle_})
            item->setEnabled(true);
    }
    menu_->popup(viaKeyboard ? globalPos : globalPos + QPoint(3, 3));
}

} // namespace corvix
