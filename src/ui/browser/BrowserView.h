#pragma once
// The capture browser (Qt WebEngine). Loads pages without blocking and reports
// them by three signals, always on the UI thread:
//   navigated         - a response arrived that changed the page's address (also
//                       after a redirect); loading the address already shown gives none,
//   progressChanged   - load progress in percent (only two or three per page, and
//                       100 may come long before the page has finished),
//   downloadCompleted - the page has finished loading, successfully or not (one per
//                       navigation: frames give no signals of their own).
// The page is hardened for unattended runs over arbitrary shop pages: no pop-up
// windows, no downloads, every permission request denied, no JavaScript dialogs,
// no file choosers, no page icons. A renderer that dies leaves the view without a
// document until the next navigation; the program goes on.
#include <QUrl>
#include <QWebEngineView>

#include <filesystem>

#include <functional>
#include <memory>

class QWebEngineProfile;

namespace corvix {

// The profile of every capture browser: cookies, logins, cache and site storage
// are kept under DataRoot/browser, so that a user who signs in to a shop in the
// capture window stays signed in for later runs. Created at first use under the
// root given to SetCaptureProfileRoot (none: a profile that keeps nothing on
// disk); released when the application object is destroyed.
QWebEngineProfile *CaptureProfile();
// The data root whose "browser" folder (or another folder below it: two
// processes must never share one) the profile uses; set once at start-up,
// before the first browser exists.
void SetCaptureProfileRoot(const std::filesystem::path &root, const std::filesystem::path &folder = "browser");

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    explicit BrowserView(QWidget *parent = nullptr);
    ~BrowserView() override;

    // Starts loading link and returns at once. The document shown so far stops
    // counting as a document from this moment: results read from it are never
    // reported as the new page's (see RunInDocument).
    void Navigate(const QString &link);
    QString Link() const { return link_; }
    // Counts Navigate calls; a result is current only for the navigation it was asked in.
    quint64 Navigation() const { return navigation_; }
    bool RendererGone() const { return rendererGone_; }
    // Drops the page (its document, its scripts, its hold on a renderer) for a
    // fresh one: a page still parsing or running a script would hold up the
    // next navigation. The view itself and its signals stay.
    void ReplacePage();

    using ScriptDone = std::function<void(const QVariant &value, bool current)>;
    // Evaluates a JavaScript expression in the document of the current navigation,
    // in a script world that the page's own scripts cannot see or change, and calls
    // done(value, true). When the view holds no document of the current navigation
    // (nothing loaded yet, the previous page still shown, the renderer gone, or a new
    // navigation started before the answer came, or no answer within a few seconds)
    // it calls done(QVariant(), false).
    // done always runs later, on the UI thread, and never after the view is destroyed.
    void RunInDocument(const QString &expression, ScriptDone done);

signals:
    void navigated(const QUrl &url);
    void progressChanged(int percent);
    void downloadCompleted();
    // The page's renderer process crashed or was killed (also for a renderer
    // shared with another page).
    void rendererLost();

private:
    void StartLoad(quint64 navigation);
    void ConnectPage(QWebEnginePage *page);

    QString link_;
    quint64 navigation_ = 0;
    // The document shown is known to be marked with its navigation: a script
    // answered from it, and no load has started since.
    bool documentMarked_ = false;
    bool everLoaded_ = false;
    bool waitingToLoad_ = false; // the old document is being marked; events are not this link's
    bool settingUrl_ = false;
    bool rendererGone_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace corvix
