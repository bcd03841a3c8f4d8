#include "ui/capture/RuleTestController.h"

#include "ui/Session.h"
#include "products/LinkFile.h"
#include "ui/capture/PricePickWindow.h"
#include "ui/capture/RuleTestWindow.h"
#include "ui/capture/SourceViewWindow.h"
#include "support/Gbk.h"
#include "ui/MessageBox.h"
#include "ui/pages/RuleEditorPage.h"

namespace corvix {

RuleTestController::RuleTestController(RuleEditorPage *page, Session &session)
    : QObject(page), page_(page), session_(session)
{
    connect(page, &RuleEditorPage::testRuleRequested, this, &RuleTestController::TestRule);
    connect(page, &RuleEditorPage::pickMarkersRequested, this, &RuleTestController::PickMarkers);
    connect(page, &RuleEditorPage::pickPriceRequested, this, &RuleTestController::PickPrice);
}

RuleTestController::~RuleTestController()
{
    delete window_.data();
    delete pickWindow_.data();
    delete sourceWindow_.data();
}

SourceViewWindow *RuleTestController::SourceWindow() const
{
    return sourceWindow_.data();
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
    RuleTestWindow *open = Window();
    // A window whose renderer died would stay blank: a new one takes its place.
    if (open && open->Browser()->RendererGone()) {
        delete open;
        open = nullptr;
    }
    if (open) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *window = new RuleTestWindow(session_.dirs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<RuleTestController> self(this);
    window->SetTestInputSource([self] { return self ? self->ReadEditorInputs() : TestInputs{}; });
    connect(window, &RuleTestWindow::sourceWritten, this,
            [this](const std::string &text) {
                delete sourceWindow_.data();
                sourceWindow_ = new SourceViewWindow(text);
                sourceWindow_->setAttribute(Qt::WA_DeleteOnClose);
                sourceWindow_->show();
            });
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

PricePickWindow *RuleTestController::PickWindow() const
{
    return pickWindow_.data();
}

void RuleTestController::PickPrice()
{
    const std::optional<std::string> link = ReadLink();
    if (!link)
        return;
    if (pickWindow_ && pickWindow_->Browser()->RendererGone())
        delete pickWindow_.data();
    if (!pickWindow_) {
        pickWindow_ = new PricePickWindow;
        pickWindow_->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<RuleTestController> self(this);
        pickWindow_->SetRuleChosen([self](const Rule &rule) {
            if (self)
                self->FillEditor(rule);
        });
    }
    pickWindow_->show();
    pickWindow_->raise();
    pickWindow_->StartPick(*link, OtherLinkOfShop(*link));
}

std::string RuleTestController::OtherLinkOfShop(const std::string &link) const
{
    // A url.ini that cannot be read offers no second page; the pick works without.
    const Result<LinkFile> links = LinkFile::Load(LinkFilePath(session_.dirs));
    if (!links)
        return {};
    std::vector<std::string> shops;
    for (const EnabledRule &rule : session_.enabledRules)
        shops.push_back(rule.title);
    if (page_)
        shops.push_back(ToGbk(page_->Inputs().title));
    return corvix::OtherLinkOfShop(*links, shops, link);
}

void RuleTestController::FillEditor(const Rule &rule)
{
    if (!page_ || rule.method == RuleMethod::None)
        return;
    page_->SelectMethod(rule.method);
    // The other method's fields are saved with the rule too: an earlier rule's
    // markers would stay in the new rule's file.
    if (rule.method == RuleMethod::Markers) {
        page_->SetMarkers(FromGbk(rule.left), FromGbk(rule.right));
        page_->SetElement(QString(), -1);
    } else {
        page_->SetElement(FromGbk(rule.elementName), ElementKindIndex(rule.elementKind));
        page_->SetMarkers(QString(), QString());
    }
    page_->SetHoldsPickedRule(true);
}

} // namespace corvix
