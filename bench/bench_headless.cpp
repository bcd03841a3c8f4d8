// The scheduled capture as schedulers run it: `corvix --capture` on a data root
// of loopback shop pages, without a display (Qt's offscreen platform).
// Run: scripts/with-display build/bench/bench_headless  (the display is the
// benchmark's own; the program under test gets none)
//
//   BM_HeadlessCapture/100   seconds per link over 100 links
//   BM_HeadlessMemory        RSS of the program and its browser processes after
//                            100 and after 1,000 links, and their ratio
#include "BenchMain.h"
#include "ProcessTable.h"
#include "ShopPages.h"
#include "common/TestHttpServer.h"
#include "common/CoreTestSupport.h"
#include "products/LinkFile.h"
#include "rules/Rule.h"
#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "support/Gbk.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <functional>

namespace {

using corvix::bench::ItemPage;

// A data root with one marker rule and `links` products, each with its own page.
void PrepareRoot(const corvix::test::TempDataRoot &root, corvix::test::TestHttpServer &server, int links)
{
    corvix::Rule rule;
    rule.left = corvix::Gbk("<span class=#引号price#引号>");
    rule.right = "</span>";
    rule.method = corvix::RuleMethod::Markers;
    rule.enabled = true;
    corvix::test::TempDataRoot::WriteBytes(corvix::RuleFilePath(root.Dirs(), "X"), corvix::ComposeRuleText(rule));
    corvix::test::TempDataRoot::WriteBytes(corvix::RuleIndexPath(root.Dirs()), "X");
    corvix::LinkFile file;
    for (int i = 0; i < links; ++i) {
        const std::string section = corvix::LinkFile::SectionName(i);
        file.SetValue(section, "title", "P" + std::to_string(i));
        file.SetValue(section, "X", server.Url(QStringLiteral("/item?n=%1").arg(i)).toStdString());
    }
    file.Save(corvix::LinkFilePath(root.Dirs()));
}

// Runs the program over the root; onLine sees each line it prints, with its pid.
int RunCapture(const corvix::test::TempDataRoot &root, const std::function<void(const QString &, qint64)> &onLine)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] {
        while (process.canReadLine())
            onLine(QString::fromLocal8Bit(process.readLine()), process.processId());
    });
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    process.start(QStringLiteral(CORVIX_BINARY),
                  {QStringLiteral("--capture"), QStringLiteral("--data"),
                   QString::fromStdU16String(root.Dirs().root.u16string())});
    loop.exec();
    return process.exitCode();
}

void BM_HeadlessCapture(benchmark::State &state)
{
    const int links = static_cast<int>(state.range(0));
    corvix::test::TestHttpServer server;
    server.Route("/item", ItemPage());
    corvix::test::TempDataRoot root;
    PrepareRoot(root, server, links);
    int exitCode = -1;
    for (auto _ : state)
        exitCode = RunCapture(root, [](const QString &, qint64) {});
    state.counters["s_per_link"] = benchmark::Counter(static_cast<double>(links), benchmark::Counter::kIsRate
                                                                                      | benchmark::Counter::kInvert);
    state.counters["exit_code"] = exitCode;
}
BENCHMARK(BM_HeadlessCapture)->Arg(100)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_HeadlessMemory(benchmark::State &state)
{
    constexpr int kLinks = 1000;
    corvix::test::TestHttpServer server;
    server.Route("/item", ItemPage());
    corvix::test::TempDataRoot root;
    PrepareRoot(root, server, kLinks);
    long after100 = 0, after1000 = 0;
    for (auto _ : state) {
        int lines = 0;
        RunCapture(root, [&](const QString &line, qint64 pid) {
            if (!line.startsWith(u'['))
                return;
            ++lines;
            if (lines == 100)
                after100 = corvix::bench::TreeRssKiB(static_cast<long>(pid));
            if (lines == kLinks)
                after1000 = corvix::bench::TreeRssKiB(static_cast<long>(pid));
        });
    }
    state.counters["rss_after_100_MiB"] = static_cast<double>(after100) / 1024;
    state.counters["rss_after_1000_MiB"] = static_cast<double>(after1000) / 1024;
    state.counters["ratio"] = after100 ? static_cast<double>(after1000) / static_cast<double>(after100) : 0;
}
BENCHMARK(BM_HeadlessMemory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return corvix::bench::RunBenchmarks(argc, argv);
}
