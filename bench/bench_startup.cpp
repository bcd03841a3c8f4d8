// Start-up: process start until the main window is shown, with an empty data
// root, and no browser-engine process started on the way.
// Run on a display: scripts/with-display build/bench/bench_startup
#include "BenchMain.h"
#include "ProcessTable.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <string>

namespace {

QString ProbeBinary()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/startup_probe");
}

void BM_StartUpToWindowShown(benchmark::State &state)
{
    bool browserSeen = false;
    for (auto _ : state) {
        state.PauseTiming();
        // A fresh program directory each time: an empty data root.
        QTemporaryDir dir;
        const QString exe = dir.path() + QStringLiteral("/corvix");
        QFile::copy(ProbeBinary(), exe);
        QFile::setPermissions(exe, QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
        QProcess process;
        state.ResumeTiming();
        process.start(exe, {});
        process.waitForStarted();
        while (!process.waitForFinished(5)) {
            if (corvix::bench::HasProcessBelow(process.processId(), "QtWebEngine"))
                browserSeen = true;
        }
        state.PauseTiming();
        if (process.exitCode() != 0 || !QDir(dir.path() + QStringLiteral("/varnwick/class")).exists())
            state.SkipWithError("the program did not start cleanly");
        state.ResumeTiming();
    }
    state.counters["browser_processes_started"] = browserSeen ? 1 : 0;
}
BENCHMARK(BM_StartUpToWindowShown)->Unit(benchmark::kMillisecond)->Iterations(15)->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return corvix::bench::RunBenchmarks(argc, argv);
}
