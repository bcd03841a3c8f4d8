#include "ui/capture/RuleTestController.h"

#include "ui/Session.h"
#include "ui/capture/RuleTestWindow.h"
#include "support/Gbk.h"
#include "ui/MessageBox.h"
#include "ui/pages/RuleEditorPage.h"

namespace corvix {

RuleTestController::RuleTestController(RuleEditorPage *page, Session &session)
    : QObject(page), page_(page), session_(session)
{
    connect(page, &RuleEditorPage::testRuleRequested, this, &RuleTestController::TestRule);
    connect(page, &RuleEditorPage::pickMarkersRequested, this, &RuleTestController::PickMarkers);
}

RuleTestController::~RuleTestController()
{
    delete window_.data();
}

TestInputs RuleTestController::ReadEditorInputs() const
{
    TestInputs inputs;
    if (!page_)
        return inputs;
    const RuleEditorInputs fields = page_->Inputs();
    inputs.left = ToGbk(fields.left);
    inputs.right = ToGbk(fields.right);
    inputs.elementMethod = fields.method == RuleMethod::Element;
    inputs.name = ToGbk(fields.elementName);
    inputs.kind = ToGbk(fields.elementKind);
    return inputs;
}

RuleTestWindow *RuleTestController::Window() const
{
    return window_ && !window_->CloseRequested() ? window_.data() : nullptr;
}

std::optional<std::string> RuleTestController::ReadLink() const
{
    const std::string link = page_ ? ToGbk(page_->Inputs().link) : std::string();
    if (link.empty()) {
        ShowMessage(QStringLiteral("请输入链接后再选取"));
        return std::nullopt;
    }
    return link;
}

RuleTestWindow *RuleTestController::OpenWindow()
{
    if (RuleTestWindow *open = Window()) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *window = new RuleTestWindow(session_.dirs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<RuleTestController> self(this);
    window->SetTestInputSource([self] { return self ? self->ReadEditorInputs() : TestInputs{}; });
    window->show();
    window_ = window;
    return window;
}

void RuleTestController::TestRule()
{
    const std::optional<std::string> link = ReadLink();
    if (!link)
        return;
    OpenWindow()->StartTest(*link, ReadEditorInputs());
}

void RuleTestController::PickMarkers()
{
    const std::optional<std::string> link = ReadLink();
    if (!link)
        return;
    OpenWindow()->StartPick(*link);
}

} // namespace corvix
