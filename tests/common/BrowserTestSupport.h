#pragma once
// Helpers for tests that drive the real capture browser (run under Xvfb).
#include "support/DomSnapshot.h"

#include <QString>

#include <functional>

namespace corvix {
class BrowserView;
class CaptureRun;
struct RunSummary;
}

namespace corvix::test {

// Creates the capture browser's profile once per test program, with its storage
// in a directory that lives as long as the program (each test's own data root
// is removed when the test ends, the profile is not).
void UseTestBrowserProfile();

// Runs the event loop until condition holds or timeoutMs has passed.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs = 15000);

// Runs the event loop for milliseconds (QTest::qWait slows the browser down).
void Wait(int milliseconds);

// A run over url.ini and a retry, each waited for to its end; its summary.
// Throws when the run has not ended within timeoutMs.
RunSummary RunFromLinkFile(CaptureRun &run, int timeoutMs = 300000);
RunSummary RetryFailed(CaptureRun &run, int timeoutMs = 300000);

// Navigates view to url and waits for its downloadCompleted event.
bool LoadPage(BrowserView &view, const QString &url, int timeoutMs = 15000);

// One snapshot of view's current document, waited for.
DomSnapshot SnapshotOf(BrowserView &view, const DomRequest &request);

} // namespace corvix::test
