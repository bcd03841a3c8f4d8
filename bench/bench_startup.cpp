// Start-up: process start until the main window is shown, with an empty data
// root, and no browser-engine process started on the way.
// Run on a display: scripts/with-display build/bench/bench_startup
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <sstream>
#include <string>

namespace {

QString ProbeBinary()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/startup_probe");
}

// True when a process below `pid` runs the browser engine's helper.
bool HasBrowserChild(qint64 pid)
{
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        const std::string comm = line.substr(line.find('(') + 1, close - line.find('(') - 1);
        long ppid = 0;
        char state = 0;
        std::istringstream rest(line.substr(close + 2));
        rest >> state >> ppid;
        if (ppid == pid && comm.find("QtWebEngine") != std::string::npos)
            return true;
    }
    return false;
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
            if (HasBrowserChild(process.processId()))
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
    ->ReportAggregatesOnly(true)->ComputeStatistics("median", [](const std::vector<double> &v) {
        std::vector<double> s(v);
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    });

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
