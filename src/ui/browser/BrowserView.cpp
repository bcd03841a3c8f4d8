#include "ui/browser/BrowserView.h"
#include "support/PathText.h"

#include "ui/browser/LocalNetworkGuard.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEnginePage>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QWebEnginePermission>
#endif
#include <QWebEngineProfile>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineScript>
#include <QWebEngineSettings>

namespace corvix {
namespace {

QWebEngineProfile *g_profile = nullptr;

void ReleaseCaptureProfile()
{
    delete g_profile;
    g_profile = nullptr;
}

void HardenSettings(QWebEngineSettings *settings)
{
    // A shop page must not open windows, go full screen, or fetch things nobody
    // looks at (the icon request also holds one of the host's few connections).
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    settings->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
    // WebRTC offers no address of the user's own interfaces (see LocalNetworkGuard.h).
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
}

// Scripts of the program run in their own world: they see the page's document
// but none of the page's script variables, and the page cannot see theirs.
constexpr quint32 kProgramWorld = QWebEngineScript::ApplicationWorld;

// Each document remembers the navigation it belongs to in the program's world.
// A document that has none yet takes the number it is asked with, except the
// empty initial document of a fresh view, which belongs to no navigation.
const char kDocumentScript[] = R"JS(
(function () {
  var w = window, key = '__corvixNavigation', n = %1;
  if (w[key] === undefined && !(location.href === 'about:blank' && !%2)) w[key] = n;
  if (w[key] !== n) return { current: false };
  return { current: true, value: (%3) };
})()
)JS";

// Marks the document shown now as belonging to the navigation that showed it.
const char kClaimScript[] = R"JS(
(function () { if (window.__corvixNavigation === undefined) window.__corvixNavigation = %1; return true; })()
)JS";

// How long Navigate waits for the old document to be marked before it loads the
// link anyway (a renderer stuck in a script never answers).
constexpr int kClaimWaitMs = 250;
// How long a script answer may take before the request counts as answered
// without a document.
constexpr int kAnswerWaitMs = 5000;

class CapturePage : public QWebEnginePage {
public:
    explicit CapturePage(QObject *parent) : QWebEnginePage(CaptureProfile(), parent)
    {
        HardenSettings(settings());
        // Qt 6.8 asks through a permission object and deprecates the page's
        // own calls; the older engines have only those.
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        connect(this, &QWebEnginePage::permissionRequested, this,
                [](QWebEnginePermission permission) { permission.deny(); });
#else
        connect(this, &QWebEnginePage::featurePermissionRequested, this,
                [this](const QUrl &origin, QWebEnginePage::Feature feature) {
                    setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
                });
#endif
        connect(this, &QWebEnginePage::fullScreenRequested, this,
                [](QWebEngineFullScreenRequest request) { request.reject(); });
        connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
                [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
        connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
                [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    }

protected:
    QWebEnginePage *createWindow(WebWindowType) override { return nullptr; }
    void javaScriptAlert(const QUrl &, const QString &) override {}
    bool javaScriptConfirm(const QUrl &, const QString &message) override
    {
        // The engine asks "leave this page?" through the same call; leaving is
        // always allowed, or the next link could never load. A page's own
        // confirm() gets "cancel".
        return message == LeavePageQuestion();
    }
    bool javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override {}
    QStringList chooseFiles(FileSelectionMode, const QStringList &, const QStringList &) override { return {}; }

private:
    static QString LeavePageQuestion()
    {
        return QCoreApplication::translate(
            "QWebEnginePage", "Are you sure you want to leave this page? Changes that you made may not be saved.");
    }
};

QUrl LinkToUrl(const QString &link)
{
    QUrl url(link, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty())
        url = QUrl::fromUserInput(link);
    return url;
}

std::filesystem::path &ProfileRoot()
{
    static std::filesystem::path root;
    return root;
}

std::filesystem::path &ProfileFolder()
{
    static std::filesystem::path folder = "browser";
    return folder;
}

} // namespace

void SetCaptureProfileRoot(const std::filesystem::path &root, const std::filesystem::path &folder)
{
    ProfileRoot() = root;
    ProfileFolder() = folder;
}

QWebEngineProfile *CaptureProfile()
{
    if (g_profile)
        return g_profile;
    const std::filesystem::path root = ProfileRoot();
    if (root.empty()) {
        g_profile = new QWebEngineProfile(); // keeps nothing on disk
    } else {
        const QString dir = PathText(root / ProfileFolder());
        g_profile = new QWebEngineProfile(QStringLiteral("capture"));
        g_profile->setPersistentStoragePath(dir + QStringLiteral("/storage"));
        g_profile->setCachePath(dir + QStringLiteral("/cache"));
        g_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        // Shops often sign members in with session cookies; keep them too.
        g_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    }
    HardenSettings(g_profile->settings());
    StartLocalNetworkGuard();
    g_profile->setUrlRequestInterceptor(new LocalNetworkGuard(g_profile));
    QObject::connect(g_profile, &QWebEngineProfile::downloadRequested, g_profile,
                     [](QWebEngineDownloadRequest *download) { download->cancel(); });
    // The engine tears itself down in a routine of its own when the application
    // object goes; routines run newest first, so the profile goes before it.
    qAddPostRoutine(ReleaseCaptureProfile);
    return g_profile;
}

BrowserView::BrowserView(QWidget *parent) : QWebEngineView(parent)
{
    auto *capturePage = new CapturePage(this);
    setPage(capturePage);
    ConnectPage(capturePage);
}

void BrowserView::ConnectPage(QWebEnginePage *capturePage)
{
    connect(capturePage, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        // Guarded in case the engine announces the requested address while the
        // load starts; the changes that count come with the response (or a redirect).
        if (!settingUrl_ && !waitingToLoad_)
            emit navigated(url);
    });
    // Every load, the page's own ones too, brings a document that is not marked yet.
    connect(capturePage, &QWebEnginePage::loadStarted, this, [this] { documentMarked_ = false; });
    connect(capturePage, &QWebEnginePage::loadProgress, this, [this](int percent) {
        if (!waitingToLoad_)
            emit progressChanged(percent);
    });
    connect(capturePage, &QWebEnginePage::loadFinished, this, [this](bool) {
        if (!waitingToLoad_)
            emit downloadCompleted();
    });
    connect(capturePage, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                rendererGone_ = true;
                if (status != QWebEnginePage::NormalTerminationStatus)
                    emit rendererLost();
            });
}

void BrowserView::ReplacePage()
{
    QWebEnginePage *old = page();
    old->disconnect(this);
    old->triggerAction(QWebEnginePage::Stop);
    auto *fresh = new CapturePage(this);
    setPage(fresh);
    ConnectPage(fresh);
    // Later: the page may be in the middle of one of its own handlers.
    old->deleteLater();
    // The fresh page shows its empty initial document, which belongs to no navigation.
    everLoaded_ = false;
    documentMarked_ = false;
    waitingToLoad_ = false;
    rendererGone_ = false;
}

BrowserView::~BrowserView()
{
    // Script answers still pending run while the page is torn down; they must
    // find the view gone. Its renderer ending with it is no lost renderer.
    *alive_ = false;
    page()->disconnect(this);
}

void BrowserView::Navigate(const QString &link)
{
    const quint64 previous = navigation_;
    const quint64 current = ++navigation_;
    link_ = link;
    if (!everLoaded_ || rendererGone_ || documentMarked_) {
        // Nothing but the empty initial document (or no renderer) to tell apart,
        // or the old document is marked already (marking it again would cost a
        // round trip to a renderer that may just be waking up in a new window).
        StartLoad(current);
        return;
    }
    // Until the old document knows it belongs to the previous navigation, a
    // script asked now could not tell it from the new page: mark it first, then load.
    waitingToLoad_ = true;
    auto alive = alive_;
    auto load = [this, alive, current] {
        if (*alive && navigation_ == current && waitingToLoad_)
            StartLoad(current);
    };
    page()->runJavaScript(QString::fromLatin1(kClaimScript).arg(previous), kProgramWorld,
                          [load](const QVariant &) { load(); });
    QTimer::singleShot(kClaimWaitMs, this, load);
}

void BrowserView::StartLoad(quint64 navigation)
{
    Q_UNUSED(navigation);
    waitingToLoad_ = false;
    everLoaded_ = true;
    rendererGone_ = false;
    settingUrl_ = true;
    // The previous page may still be fetching images on the same host; they
    // would hold the host's few connections that the new page needs.
    page()->triggerAction(QWebEnginePage::Stop);
    const QUrl url = LinkToUrl(link_);
    // The user's own link may lead to the user's own network; a page may not.
    PermitUsersLink(url);
    page()->load(url);
    settingUrl_ = false;
}

void BrowserView::RunInDocument(const QString &expression, ScriptDone done)
{
    auto alive = alive_;
    const quint64 navigation = navigation_;
    if (rendererGone_ || waitingToLoad_ || navigation == 0) {
        QTimer::singleShot(0, this, [done = std::move(done)] { done(QVariant(), false); });
        return;
    }
    const bool blankIsTarget = link_.startsWith(QLatin1String("about:"), Qt::CaseInsensitive);
    // One-pass arg: the expression may itself hold "%1" inside its texts.
    const QString script = QString::fromLatin1(kDocumentScript)
                               .arg(QString::number(navigation),
                                    blankIsTarget ? QStringLiteral("true") : QStringLiteral("false"), expression);
    // The engine drops the answer of a script whose document goes away before it
    // has run; such a request then counts as unanswered after a while.
    auto answered = std::make_shared<bool>(false);
    auto shared = std::make_shared<ScriptDone>(std::move(done));
    QTimer::singleShot(kAnswerWaitMs, this, [answered, shared] {
        if (!*answered) {
            *answered = true;
            (*shared)(QVariant(), false);
        }
    });
    page()->runJavaScript(script, kProgramWorld,
                          [this, alive, answered, navigation, done = shared](const QVariant &result) {
                              if (!*alive || *answered)
                                  return;
                              *answered = true;
                              const QVariantMap map = result.toMap();
                              const bool current = navigation_ == navigation && !rendererGone_ &&
                                                   map.value(QStringLiteral("current")).toBool();
                              if (current)
                                  documentMarked_ = true;
                              (*done)(current ? map.value(QStringLiteral("value")) : QVariant(), current);
                          });
}

} // namespace corvix
