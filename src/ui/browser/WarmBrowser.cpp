#include "ui/browser/WarmBrowser.h"

#include "ui/browser/BrowserView.h"

#include <QWebEnginePage>

namespace corvix {

WarmBrowser::~WarmBrowser()
{
    if (view_ && !lent_)
        delete view_.data();
}

BrowserView *WarmBrowser::Lend(QWidget *window)
{
    if (lent_ && view_)
        return nullptr;
    if (!view_)
        view_ = new BrowserView(window);
    else
        view_->setParent(window);
    lent_ = true;
    view_->show();
    return view_.data();
}

void WarmBrowser::GiveBack(BrowserView *browser)
{
    if (!browser || browser != view_.data())
        return;
    // The page's images and scripts would go on holding the host's connections
    // and the processor while the run prepares the next link.
    view_->page()->triggerAction(QWebEnginePage::Stop);
    view_->hide();
    view_->setParent(nullptr);
    lent_ = false;
}

} // namespace corvix
