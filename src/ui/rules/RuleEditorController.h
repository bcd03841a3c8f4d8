#pragma once
// The rule editor on the tab "采集添加": saving a rule, and showing a rule of the
// rule list in the editor's fields.
#include <QObject>

namespace corvix {

struct Session;

class MainWindow;
class RuleEditorPage;

class RuleEditorController : public QObject {
    Q_OBJECT
public:
    RuleEditorController(MainWindow *window, Session &session, QObject *parent = nullptr);

    // 按钮2 ("添加"): checks the fields, writes the rule file and adds the title
    // to the rule index. Every outcome is told by a message box; a rule chosen
    // in the pick window is offered to be enabled at once (as "启用/关闭" does).
    void SaveRule();
    // Fills the editor from the rule of the rule list's selected row and shows
    // the tab "采集添加". Returns false (and changes nothing) without a selected row.
    bool LoadRuleIntoEditor();

signals:
    // A rule file and the index were written.
    void rulesChanged();

private:
    MainWindow *window_;
    RuleEditorPage *page_;
    Session &session_;
};

} // namespace corvix
