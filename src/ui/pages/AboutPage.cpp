#include "ui/pages/AboutPage.h"

#include "ui/pages/PageControls.h"

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
    browser_->setUrl(QUrl(QStringLiteral("qrc:/about/index.html")));
}

} // namespace corvix
