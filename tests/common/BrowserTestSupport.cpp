#include "common/BrowserTestSupport.h"

#include "app/ProgramState.h"
#include "support/BrowserView.h"
#include "support/DomHelper.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace corvix::test {

void UseTestBrowserProfile()
{
    static QTemporaryDir root;
    const std::filesystem::path saved = Program().dirs.root;
    Program().dirs.root = std::filesystem::path(root.path().toStdU16String());
    CaptureProfile();
    Program().dirs.root = saved;
}

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

bool LoadPage(BrowserView &view, const QString &url, int timeoutMs)
{
    QSignalSpy done(&view, &BrowserView::DownloadComplete);
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
