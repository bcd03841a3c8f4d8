#pragma once
// The page "采集添加": the rule editor (title, method, the marker fields on page
// 0 of 选择夹2, the element fields on page 1) and the rule test box 分组框4 with
// the link and the pick and test buttons. A click on a method shows its page.
#include "rules/Rule.h"

#include <QString>
#include <QWidget>

class QComboBox;
class QLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace corvix {

// The editor's fields as they are shown; multi-line boxes break lines with "\n".
struct RuleEditorInputs {
    QString title;                        // 编辑框1 "采集名称："
    RuleMethod method = RuleMethod::None; // the checked one of 单选框1, 单选框2
    QString left;                         // 编辑框2 "标记左"
    QString right;                        // 编辑框3 "标记右"
    QString elementName;                  // 编辑框7 "元素名称："
    QString elementKind;                  // 组合框2 "元素类型："
    QString link;                         // 编辑框6 "链接地址："
};

class RuleEditorPage : public QWidget {
    Q_OBJECT
public:
    explicit RuleEditorPage(QWidget *parent = nullptr);

    RuleEditorInputs Inputs() const;
    QTabWidget *ExtractionPages() const { return extractionPages_; }

    // Checks the method's button and shows its page; RuleMethod::None changes neither.
    void SelectMethod(RuleMethod method);
    void SetTitle(const QString &title);
    void SetMarkers(const QString &left, const QString &right);
    // kindIndex is an item of 组合框2; a negative one leaves the kind shown.
    void SetElement(const QString &name, int kindIndex);
    // Whether the fields hold a rule chosen on a page (in the pick window) that
    // has not been saved yet: saving it offers to enable it at once.
    void SetHoldsPickedRule(bool picked) { holdsPickedRule_ = picked; }
    bool HoldsPickedRule() const { return holdsPickedRule_; }

signals:
    void saveRuleRequested();    // 按钮2 "添加"
    void pickMarkersRequested(); // 按钮1 "选取标记/元素"
    void pickPriceRequested();   // "在页面上选取价格"
    void testRuleRequested();    // 按钮4 "测试规则"

private:
    // Shows page 0 (markers) or page 1 (element) of 选择夹2; no field changes.
    void ShowExtractionPage(int page);
    QLayout *BuildTitleRow();
    QWidget *BuildMethodGroup();
    QWidget *BuildMarkerPage();
    QWidget *BuildElementPage();
    QWidget *BuildTestGroup();
    void SetTabOrder();

    QLineEdit *title_ = nullptr;
    QPushButton *save_ = nullptr;
    QRadioButton *markerMethod_ = nullptr;
    QRadioButton *elementMethod_ = nullptr;
    QTabWidget *extractionPages_ = nullptr;
    QPlainTextEdit *left_ = nullptr;
    QPlainTextEdit *right_ = nullptr;
    QLineEdit *elementName_ = nullptr;
    QComboBox *elementKind_ = nullptr;
    QLineEdit *link_ = nullptr;
    QPushButton *pick_ = nullptr;
    QPushButton *pickPrice_ = nullptr;
    QPushButton *test_ = nullptr;
    bool holdsPickedRule_ = false;
};

} // namespace corvix
