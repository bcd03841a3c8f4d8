#include "ui/HelpWindow.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace corvix {

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("帮助"));
    text_ = new QTextBrowser(this);
    text_->setObjectName(QStringLiteral("帮助内容"));
    text_->setAccessibleName(QStringLiteral("帮助"));
    text_->setSource(QUrl(QStringLiteral("qrc:/about/index.html")));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    resize(640, 480);
}

} // namespace corvix
