#pragma once
// One capture browser kept warm from one run to the next. Building
// the engine's page and view costs about a tenth of a second, more than loading a
// small page; the capture window of each run borrows this one instead. The view
// waits hidden, without a parent, between two runs.
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
