#include "ui/capture/RuleTestController.h"

#include "ui/Session.h"
#include "ui/capture/CaptureWindow.h"
#include "support/Gbk.h"
#include "ui/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace corvix {

RuleTestController::RuleTestController(QWidget *mainWindow, Session &session) : QObject(mainWindow), session_(session)
{
    link_ = mainWindow->findChild<QLineEdit *>(QStringLiteral("编辑框6"));
    left_ = mainWindow->findChild<QPlainTextEdit *>(QStringLiteral("编辑框2"));
    right_ = mainWindow->findChild<QPlainTextEdit *>(QStringLiteral("编辑框3"));
    elementMethod_ = mainWindow->findChild<QRadioButton *>(QStringLiteral("单选框2"));
    elementName_ = mainWindow->findChild<QLineEdit *>(QStringLiteral("编辑框7"));
    elementKind_ = mainWindow->findChild<QComboBox *>(QStringLiteral("组合框2"));
    if (auto *test = mainWindow->findChild<QPushButton *>(QStringLiteral("按钮4")))
        connect(test, &QPushButton::clicked, this, &RuleTestController::TestRule);
    if (auto *pick = mainWindow->findChild<QPushButton *>(QStringLiteral("按钮1")))
        connect(pick, &QPushButton::clicked, this, &RuleTestController::PickMarkers);
}

RuleTestController::~RuleTestController()
{
    delete window_.data();
}

TestInputs RuleTestController::ReadEditorInputs() const
{
    TestInputs inputs;
    if (left_)
        inputs.left = ToGbk(left_->toPlainText());
    if (right_)
        inputs.right = ToGbk(right_->toPlainText());
    inputs.elementMethod = elementMethod_ && elementMethod_->isChecked();
    if (elementName_)
        inputs.name = ToGbk(elementName_->text());
    if (elementKind_)
        inputs.kind = ToGbk(elementKind_->currentText());
    return inputs;
}

CaptureWindow *RuleTestController::Window() const
{
    return window_ && !window_->CloseRequested() ? window_.data() : nullptr;
}

std::optional<std::string> RuleTestController::ReadLink() const
{
    const std::string link = link_ ? ToGbk(link_->text()) : std::string();
    if (link.empty()) {
        ShowMessage(QStringLiteral("请输入链接后再选取"));
        return std::nullopt;
    }
    return link;
}

CaptureWindow *RuleTestController::OpenWindow()
{
    if (CaptureWindow *open = Window()) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *window = new CaptureWindow(session_.dirs);
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
