#pragma once
// The main function of the benchmark programs that drive the capture browser:
// the application object, a capture profile that keeps nothing on disk, then
// the benchmarks named on the command line.
#include "app/Application.h"
#include "ui/browser/BrowserView.h"

#include <QApplication>

#include <vector>

#include "BenchMain.h"

namespace corvix::bench {

inline int RunBrowserBenchmarks(int argc, char **argv)
{
    PrepareQtBeforeApplication();
    std::vector<char *> arguments(argv, argv + argc);
    CapRendererMemory(arguments);
    int appArgc = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(appArgc, arguments.data());
    app.setQuitOnLastWindowClosed(false);
    SetCaptureProfileRoot({});
    CaptureProfile();
    return RunBenchmarks(argc, argv);
}

} // namespace corvix::bench
