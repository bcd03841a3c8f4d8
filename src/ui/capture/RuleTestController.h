#pragma once
// The rule test (按钮4 "测试规则") and marker picking (按钮1 "选取标记/元素") of the
// rule editor. Finds its controls in the main window by their names: 编辑框6 (link),
// 编辑框2 and 编辑框3 (markers), 单选框2 (element method), 编辑框7 (element name),
// 组合框2 (element kind), and connects the two buttons. Both open a CaptureWindow
// beside the main window; an open one is reused, so its browser loads the new link
// and its log keeps the earlier lines.
#include "capture/RuleTest.h"

#include <QObject>
#include <QPointer>

#include <optional>
#include <string>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace corvix {

struct Session;

class CaptureWindow;

class RuleTestController : public QObject {
    Q_OBJECT
public:
    // mainWindow holds the controls named above (at any depth); it becomes the
    // controller's parent.
    RuleTestController(QWidget *mainWindow, Session &session);
    // The test window has no parent (it stands beside the main window): it goes
    // with the controller, so no browser page outlives the program's end.
    ~RuleTestController() override;

    // Tests the editor's rule on the link of 编辑框6; the rule list's "测试" item
    // calls it after loading the rule into the editor.
    void TestRule();
    // Loads the link of 编辑框6 and writes its page source to ClassDir/test.txt.
    void PickMarkers();

    // The editor's fields as they are now (GBK).
    TestInputs ReadEditorInputs() const;
    // The test or pick window that is open, or nullptr.
    CaptureWindow *Window() const;

private:
    // The link of 编辑框6, or nothing (after the message) when it is empty.
    std::optional<std::string> ReadLink() const;
    CaptureWindow *OpenWindow();

    QPointer<QLineEdit> link_;
    QPointer<QPlainTextEdit> left_;
    QPointer<QPlainTextEdit> right_;
    QPointer<QRadioButton> elementMethod_;
    QPointer<QLineEdit> elementName_;
    QPointer<QComboBox> elementKind_;
    QPointer<CaptureWindow> window_;
    Session &session_;
};

} // namespace corvix
