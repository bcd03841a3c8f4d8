#pragma once
// The page "采集管理": the rule list 超级列表框2 and its pop-up menu "采集管理".
// A right-click over a row (or the keyboard's menu key) asks for the menu; the
// rule list's controller decides what it offers and shows it.
#include <QWidget>

class QAction;
class QMenu;
class QTreeWidget;

namespace corvix {

class RuleListPage : public QWidget {
    Q_OBJECT
public:
    // The columns of 超级列表框2.
    enum Column { kIdColumn = 0, kTitleColumn = 1, kKindColumn = 2, kStateColumn = 3, kTimeColumn = 4 };

    explicit RuleListPage(QWidget *parent = nullptr);

    QTreeWidget *List() const { return list_; }
    QMenu *Menu() const { return menu_; }
    // The selected row, -1 without one.
    int SelectedRow() const;
    // The title cell of a row.
    QString TitleOfRow(int row) const;
    // Pops up "采集管理": a built-in rule cannot be deleted or toggled. A mouse
    // request opens it just beside the pointer, a keyboard request at the place given.
    void ShowMenu(const QPoint &globalPos, bool viaKeyboard, bool builtIn);

signals:
    void menuRequested(const QPoint &globalPos, bool viaKeyboard);
    void refreshRequested(); // "刷新"
    void toggleRequested();  // "启用/关闭"
    void editRequested();    // "编辑"
    void testRequested();    // "测试"
    void deleteRequested();  // "删除", or the Delete key on the list

private:
    void BuildMenu();

    QTreeWidget *list_ = nullptr;
    QMenu *menu_ = nullptr;
    QAction *toggle_ = nullptr;
    QAction *edit_ = nullptr;
    QAction *test_ = nullptr;
    QAction *delete_ = nullptr;
};

} // namespace corvix
