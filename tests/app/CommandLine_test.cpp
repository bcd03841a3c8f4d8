// The command line: what it asks for, and the values it refuses.
#include "app/CommandLine.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <utility>

using namespace corvix;

TEST(CommandLine, ParallelTakesAWholeNumberFromOneToEight)
{
    struct Case {
        QStringList arguments;
        int parallel;
        bool refused;
    };
    const Case cases[] = {
        {{"--capture"}, 1, false},
        {{"--capture", "--parallel", "3"}, 3, false},
        {{"--retry", "--parallel=8"}, 8, false},
        {{"--parallel", "1", "--capture"}, 1, false},
        {{"--parallel", "2"}, 2, false}, // without a capture: the window has its own spin box
        {{"--capture", "--parallel", "0"}, 1, true},
        {{"--capture", "--parallel", "9"}, 1, true},
        {{"--capture", "--parallel", "x"}, 1, true},
        {{"--capture", "--parallel", "2.5"}, 1, true},
    };
    for (const Case &c : cases) {
        const CommandLine line = ParseCommandLine(QStringList{"corvix"} + c.arguments);
        const std::string shown = c.arguments.join(' ').toStdString();
        EXPECT_EQ(line.parallel, c.parallel) << shown;
        ASSERT_EQ(line.refused(), c.refused) << shown;
        if (c.refused) {
            EXPECT_TRUE(line.refusal.contains(QStringLiteral("“") + c.arguments.last() + QStringLiteral("”"))) << shown;
            EXPECT_TRUE(line.refusal.contains(QStringLiteral("1 到 8"))) << shown;
        }
    }
}

TEST(CommandLine, HelpNamesTheParallelOption)
{
    const CommandLine line = ParseCommandLine({"corvix", "--help"});
    EXPECT_TRUE(line.exitNow());
    EXPECT_TRUE(line.answer.contains(QStringLiteral("--parallel <N>")));
    EXPECT_TRUE(line.answer.contains(QStringLiteral("--notify-command <CMD>")));
    // Qt's own headings are English until its translation is loaded, after this.
    for (const char *chinese : {"用法：", " [选项]", "\n选项：\n", "-h, --help", "显示这段说明。"})
        EXPECT_TRUE(line.answer.contains(QString::fromUtf8(chinese))) << chinese << "\n" << line.answer.toStdString();
    // Qt wraps the descriptions to the width of the longest option.
    const QString unwrapped = QString(line.answer).remove(QRegularExpression(QStringLiteral("\\s+")));
    EXPECT_TRUE(unwrapped.contains(QStringLiteral("同时抓取的链接数（1–8，同一网站一次一条），默认1。")));
    EXPECT_EQ(ParseCommandLine({"corvix", "--capture", "--notify-command", "cat >x"}).notifyCommand, "cat >x");
}

TEST(CommandLine, UnknownOptionsAreNamedAndQtsOwnLeftToQt)
{
    const std::pair<QStringList, QString> cases[] = {
        {{"--captrue"}, QStringLiteral("--captrue")},
        {{"--capture", "--retyr"}, QStringLiteral("--retyr")},
        {{"--capture", "-x"}, QStringLiteral("-x")},
        {{"--capture", "--verbose"}, QString()},
        {{"-platform", "offscreen", "-style=fusion"}, QString()},
        {{"--capture", "--webEngineArgs", "--disable-gpu"}, QString()},
    };
    for (const auto &[arguments, named] : cases) {
        const CommandLine line = ParseCommandLine(QStringList{"corvix"} + arguments);
        EXPECT_EQ(line.refused(), !named.isEmpty()) << arguments.join(' ').toStdString();
        EXPECT_TRUE(line.refusal.contains(named)) << line.refusal.toStdString();
    }
}

TEST(CommandLine, PartsGoWithCaptureAndTheMergeStandsAlone)
{
    struct Case {
        QStringList arguments;
        bool refused;
        bool headless;
    };
    const Case cases[] = {
        {{"--capture", "--shard", "2/3"}, false, true},
        {{"--capture", "--shard", "0/1", "--run", "night-1"}, false, true},
        {{"--merge", "20240615-03"}, false, true},
        {{"--capture", "--shard", "3/3"}, true, true},
        {{"--capture", "--shard", "1/3", "--run", "../x"}, true, true},
        {{"--capture", "--shard", "1/3", "--run", ".x"}, true, true},
        {{"--shard", "1/3"}, true, false},
        {{"--retry", "--shard", "1/3"}, true, true},
        {{"--capture", "--run", "x"}, true, true},
        {{"--merge", "a/b"}, true, true},
        {{"--merge", "x", "--capture"}, true, true},
    };
    for (const Case &c : cases) {
        const CommandLine line = ParseCommandLine(QStringList{"corvix"} + c.arguments);
        const std::string shown = c.arguments.join(' ').toStdString();
        EXPECT_EQ(line.refused(), c.refused) << shown << ": " << line.refusal.toStdString();
        EXPECT_EQ(line.headless(), c.headless) << shown;
    }
    const CommandLine line = ParseCommandLine({"corvix", "--capture", "--shard", "1/4", "--run", "n1"});
    EXPECT_EQ(line.shard, "1/4");
    EXPECT_EQ(line.run, "n1");
}
