#pragma once
// The rule editor on the tab "采集添加": the method switch, saving a rule, and
// showing a rule of the rule list in the editor's fields.
#include <QObject>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace corvix {

struct Session;

class MainWindow;

class RuleEditorController : public QObject {
    Q_OBJECT
public:
    RuleEditorController(MainWindow *window, Session &session, QObject *parent = nullptr);

    // Shows page 0 (markers) or page 1 (element) of 选择夹2; no field changes.
    void ShowExtractionPage(int page);
    // 按钮2 ("添加"): checks the fields, writes the rule file and adds the title
    // to the rule index. Every outcome is told by a message box.
    void SaveRule();
    // Fills the editor from the rule of the rule list's selected row and shows
    // the tab "采集添加". Returns false (and changes nothing) without a selected row.
    bool LoadRuleIntoEditor();

private:
    MainWindow *window_;
    QLineEdit *title_;
    QRadioButton *markerMethod_;
    QRadioButton *elementMethod_;
    QTabWidget *pages_;
    QPlainTextEdit *left_;
    QPlainTextEdit *right_;
    QLineEdit *elementName_;
    QComboBox *elementType_;
    QPushButton *save_;
    Session &session_;
};

} // namespace corvix
