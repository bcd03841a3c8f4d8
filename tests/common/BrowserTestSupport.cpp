#include "common/BrowserTestSupport.h"

#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"
#include "ui/capture/CaptureRun.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <optional>
#include <stdexcept>

namespace corvix::test {

void UseTestBrowserProfile()
{
    static QTemporaryDir root;
    SetCaptureProfileRoot(std::filesystem::path(root.path().toStdU16String()));
    CaptureProfile();
}

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    // Short rounds of a real event loop: the browser engine runs its own tasks on
    // this thread, and a wait that sleeps between event rounds (QTest::qWaitFor)
    // slows every page load down to about a second. Between the rounds, objects
    // deleted "later" by the test's own code (outside any loop) are deleted.
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (condition())
            return true;
        if (elapsed.elapsed() >= timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void Wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {

RunSummary UntilRunEnds(CaptureRun &run, void (CaptureRun::*start)(), int timeoutMs)
{
    std::optional<RunSummary> ended;
    QEventLoop loop;
    QObject::connect(&run, &CaptureRun::runEnded, &loop, [&](const RunSummary &summary) {
        ended = summary;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    (run.*start)();
    if (!ended)
        loop.exec();
    if (!ended)
        throw std::runtime_error("the capture run did not end in time");
    return *ended;
}

} // namespace

RunSummary RunFromLinkFile(CaptureRun &run, int timeoutMs)
{
    return UntilRunEnds(run, &CaptureRun::StartFromLinkFile, timeoutMs);
}

RunSummary RetryFailed(CaptureRun &run, int timeoutMs)
{
    return UntilRunEnds(run, &CaptureRun::StartRetry, timeoutMs);
}

bool LoadPage(BrowserView &view, const QString &url, int timeoutMs)
{
    QSignalSpy done(&view, &BrowserView::downloadCompleted);
    view.Navigate(url);
    return WaitUntil([&] { return done.count() > 0; }, timeoutMs);
}

DomSnapshot SnapshotOf(BrowserView &view, const DomRequest &request)
{
    DomHelper helper;
    helper.AttachToWindow(&view);
    std::optional<DomSnapshot> result;
    helper.TakeSnapshot(request, nullptr, [&result](const DomSnapshot &snapshot) { result = snapshot; });
    WaitUntil([&] { return result.has_value(); }, 10000);
    return result.value_or(DomSnapshot{});
}

} // namespace corvix::test
