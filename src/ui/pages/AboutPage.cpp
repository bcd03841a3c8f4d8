#include "ui/pages/AboutPage.h"

#include "ui/pages/PageControls.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWebEngineView>

// The resources live in a static library: register them before first use.
static void InitResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace corvix {

AboutPage::AboutPage(QWidget *parent) : QWidget(parent)
{
    InitResources();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    version_ = Named(new QLabel, QStringLiteral("版本"));
    version_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    version_->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(version_);
}

void AboutPage::SetVersionText(const QString &text)
{
    version_->setText(text);
}

// The browser engine starts only when the user first looks at this page, so
// that start-up stays fast and starts no browser process.
void AboutPage::ShowStartPage()
{
    if (browser_)
        return;
    browser_ = Named(new QWebEngineView(this), QStringLiteral("超文本浏览框1"));
    browser_->setAccessibleName(QStringLiteral("关于我们"));
    layout()->addWidget(browser_);
    static_cast<QVBoxLayout *>(layout())->setStretchFactor(browser_, 1);
    browser_->setUrl(QUrl(QStringLiteral("qrc:/about/index.html")));
}

} // namespace corvix
