#pragma once
// One capture browser kept warm between the capture windows of a run. Building
// the engine's page and view costs about a tenth of a second, more than loading a
// small page; each window of the run borrows this one instead, and the user
// still sees a window of its own per link. The view waits hidden, without a
// parent, between two windows.
#include "ui/browser/BrowserView.h"

#include <QPointer>

class QWidget;

namespace corvix {


class WarmBrowser {
public:
    WarmBrowser() = default;
    WarmBrowser(const WarmBrowser &) = delete;
    WarmBrowser &operator=(const WarmBrowser &) = delete;
    // Deletes the view unless a window still holds it (that window then owns it).
    ~WarmBrowser();

    // The browser, put into window (built on first use); nullptr while another
    // window holds it.
    BrowserView *Lend(QWidget *window);
    // The window is done with browser: it stops loading and waits hidden for
    // the next window. A browser that is not this one is left alone.
    void GiveBack(BrowserView *browser);

    BrowserView *View() const { return view_.data(); }

private:
    QPointer<BrowserView> view_;
    bool lent_ = false;
};

} // namespace corvix
