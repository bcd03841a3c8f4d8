#pragma once
// The rule test (按钮4 "测试规则") and marker picking (按钮1 "选取标记/元素") of the
// rule editor page: the link of 编辑框6, and the unsaved rule of the editor's
// fields, read anew at every event of the loaded web page. Both open a
// RuleTestWindow beside the main window; an open one is reused, so its browser
// loads the new link and its log keeps the earlier lines, unless its renderer
// has died (then a new window replaces it).
#include "capture/RuleTest.h"
#include "rules/Rule.h"

#include <QObject>
#include <QPointer>

#include <optional>
#include <string>

namespace corvix {

struct Session;

class PricePickWindow;
class SourceViewWindow;
class RuleTestWindow;
class RuleEditorPage;

class RuleTestController : public QObject {
    Q_OBJECT
public:
    // Parented to the page whose buttons it serves.
    RuleTestController(RuleEditorPage *page, Session &session);
    // The test window has no parent (it stands beside the main window): it goes
    // with the controller, so no browser page outlives the program's end.
    ~RuleTestController() override;

    // Tests the editor's rule on the link of 编辑框6; the rule list's "测试" item
    // calls it after loading the rule into the editor.
    void TestRule();
    // Loads the link of 编辑框6 and writes its page source to ClassDir/test.txt.
    void PickMarkers();
    // Loads the link of 编辑框6 in a PricePickWindow; the proposal the user
    // chooses there fills the editor (nothing is saved).
    void PickPrice();
    // Fills the editor's method and its fields with rule, as the user would
    // type them, and empties the other method's fields.
    void FillEditor(const Rule &rule);
    PricePickWindow *PickWindow() const;
    // The window showing the last picked source, while it is open.
    SourceViewWindow *SourceWindow() const;

    // The editor's fields as they are now (GBK).
    TestInputs ReadEditorInputs() const;
    // The test or pick window that is open, or nullptr.
    RuleTestWindow *Window() const;

private:
    // The link of 编辑框6, or nothing (after the message) when it is empty.
    std::optional<std::string> ReadLink() const;
    // Another product's link of the shop of link in url.ini, or the empty text.
    std::string OtherLinkOfShop(const std::string &link) const;
    RuleTestWindow *OpenWindow();

    QPointer<RuleEditorPage> page_;
    QPointer<RuleTestWindow> window_;
    QPointer<PricePickWindow> pickWindow_;
    QPointer<SourceViewWindow> sourceWindow_;
    Session &session_;
};

} // namespace corvix
