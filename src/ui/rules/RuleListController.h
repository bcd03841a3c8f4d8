#pragma once
// The rule list on the tab "采集管理" (超级列表框2) and its menu "采集管理":
// filling the list, the menu, enabling/closing and deleting rules, and handing
// a rule over to the editor and the rule test.
#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>
#include <string>

class QTreeWidget;

namespace corvix {

struct DataDirs;
struct Session;

class MainWindow;
class RowColourDelegate;
class RuleEditorController;
class RuleListPage;

// Writes the rule's enabled flag as "启用/关闭" does (enable, or a file without
// a flag, enables it) and tells the user when it cannot: the state written, or
// nothing when the file is as it was.
std::optional<bool> SwitchRuleAndTell(const DataDirs &dirs, const std::string &title, bool enable);

class RuleListController : public QObject {
    Q_OBJECT
public:
    // runRuleTest runs the rule test of the editor's rule (button 按钮4) after
    // the menu item "测试" has loaded the selected rule into the editor.
    RuleListController(MainWindow *window, Session &session, RuleEditorController *editor,
                       std::function<void()> runRuleTest, QObject *parent = nullptr);

    // Rebuilds the rows from the rule index and the rule files.
    void LoadRuleList();
    // Opens the menu for the selected row (nothing without one), with the items
    // that the row's rule allows. A mouse request opens it just beside the
    // pointer, a keyboard request at the given place.
    void ShowRuleMenu(const QPoint &globalPos, bool viaKeyboard);
    void ToggleRuleEnabled();
    void DeleteRule();

    RowColourDelegate *Colours() const { return colours_; }

signals:
    // A rule was enabled or closed.
    void rulesChanged();

private:
    void SetListRowColour(int row, bool enabled);
    std::string TitleOfRow(int row) const; // GBK

    RuleListPage *page_;
    RuleEditorController *editor_;
    std::function<void()> runRuleTest_;
    QTreeWidget *list_;
    RowColourDelegate *colours_;
    Session &session_;
};

} // namespace corvix
