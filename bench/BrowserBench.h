#pragma once
// The main function of the benchmark programs that drive the capture browser:
// the application object, a capture profile that keeps nothing on disk, then
// the benchmarks named on the command line.
#include "app/Application.h"
#include "ui/browser/BrowserView.h"

#include <QApplication>

#include "BenchMain.h"

namespace corvix::bench {

inline int RunBrowserBenchmarks(int argc, char **argv)
{
    PrepareQtBeforeApplication();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    SetCaptureProfileRoot({});
    CaptureProfile();
    return RunBenchmarks(argc, argv);
}

} // namespace corvix::bench
