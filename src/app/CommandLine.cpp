#include "app/CommandLine.h"

#include "capture/CaptureParts.h"
#include "capture/LinkScheduler.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace corvix {
namespace {

// The value of --parallel into line: a whole number from 1 to kMaxParallelLinks.
void ReadParallel(const QString &value, CommandLine &line)
{
    bool isNumber = false;
    const int links = value.toInt(&isNumber);
    if (isNumber && links >= 1 && links <= kMaxParallelLinks)
        line.parallel = links;
    else
        line.refusal = QStringLiteral("--parallel 的值“%1”无效：应为 1 到 %2 的整数。").arg(value).arg(kMaxParallelLinks);
}

// The options of a capture split into parts: --shard and --run go with
// --capture only, --merge stands alone; a run name becomes a folder name.
void ReadParts(const QCommandLineParser &parser, const QCommandLineOption &shard, const QCommandLineOption &run,
               const QCommandLineOption &merge, CommandLine &line)
{
    line.shard = parser.value(shard);
    line.run = parser.value(run);
    line.merge = parser.value(merge);
    if (parser.isSet(shard) && !ParsePartSpec(line.shard.toStdString()))
        line.refusal = QStringLiteral("--shard 的值“%1”无效：应为 i/n，0 ≤ i < n ≤ %2。").arg(line.shard).arg(kMaxParts);
    else if ((parser.isSet(shard) || parser.isSet(run)) && (!line.capture || line.retry))
        line.refusal = QStringLiteral("--shard 和 --run 只能与 --capture 一起使用。");
    else if (parser.isSet(run) && !parser.isSet(shard))
        line.refusal = QStringLiteral("--run 只能与 --shard 一起使用。");
    else if (parser.isSet(merge) && (line.capture || line.retry))
        line.refusal = QStringLiteral("--merge 不能与 --capture 或 --retry 一起使用。");
    for (const QString &name : {line.run, line.merge})
        if (line.refusal.isEmpty() && !name.isNull() && !IsRunName(name.toStdString()))
            line.refusal = QStringLiteral("运行名称“%1”无效：只能由字母、数字、“.”、“_”和“-”组成（最多 64 个，不以“.”开头）。")
                               .arg(name);
}

// The options QGuiApplication and QApplication take for themselves.
bool IsQtOption(const QString &name)
{
    static const QStringList names = {
        QStringLiteral("platform"),     QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),       QStringLiteral("qmljsdebugger"),      QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),  QStringLiteral("qwindowtitle"),       QStringLiteral("geometry"),
        QStringLiteral("title"),        QStringLiteral("reverse"),            QStringLiteral("session"),
        QStringLiteral("style"),        QStringLiteral("stylesheet"),         QStringLiteral("widgetcount"),
        QStringLiteral("display"),      QStringLiteral("name"),               QStringLiteral("nograb"),
        QStringLiteral("dograb"),       QStringLiteral("sync"),
    };
    return names.contains(name);
}

// Qt's own words in the help stay English until a QApplication exists with its
// translation, and the command line is read before one; so the help and version
// options are the program's own and the headings are put in Chinese here.
QString HelpInChinese(QString text, const QString &program)
{
    text.replace(QStringLiteral("<executable_name>"), program);
    text.replace(QStringLiteral("Usage: "), QStringLiteral("用法："));
    text.replace(QStringLiteral("[options]"), QStringLiteral("[选项]"));
    text.replace(QStringLiteral("\nOptions:\n"), QStringLiteral("\n选项：\n"));
    return text;
}

} // namespace

QString VersionText()
{
    return QStringLiteral("Corvix " CORVIX_VERSION);
}

CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Corvix：按商城采集规则抓取商品价格，保存并导出价格记录。"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("显示这段说明。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本号。"));
    const QCommandLineOption capture(QStringLiteral("capture"),
                                     QStringLiteral("不打开窗口，抓取商品列表中的全部链接，保存为一条新记录。"));
    const QCommandLineOption retry(QStringLiteral("retry"),
                                   QStringLiteral("不打开窗口，重抓最新记录中获取失败的价格，保存为一条新记录。"));
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("使用另一个数据目录（varnwick）。"),
                                  QStringLiteral("DIR"));
    const QCommandLineOption parallel(
        QStringLiteral("parallel"),
        QStringLiteral("与 --capture 或 --retry 一起使用：同时抓取的链接数（1–8，同一网站一次一条），默认 1。"),
        QStringLiteral("N"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("与 --capture 或 --retry 一起使用：也显示浏览器引擎自己的消息。"));
    const QCommandLineOption notify(
        QStringLiteral("notify-command"),
        QStringLiteral("与 --capture 或 --retry 一起使用：有降价提醒时，通过 /bin/sh 运行 CMD，标准输入为提醒的 JSON（最长 30 s）。"),
        QStringLiteral("CMD"));
    const QCommandLineOption shard(
        QStringLiteral("shard"),
        QStringLiteral("与 --capture 一起使用：只抓取第 i 部分（共 n 部分，按网站划分），保存为部分文件，由 --merge 合并。"),
        QStringLiteral("i/n"));
    const QCommandLineOption run(QStringLiteral("run"),
                                 QStringLiteral("与 --shard 一起使用：本次运行的名称（默认为当前 UTC 日期和小时）。"),
                                 QStringLiteral("ID"));
    const QCommandLineOption merge(QStringLiteral("merge"),
                                   QStringLiteral("把运行 ID 的各部分合并为一条新记录。"), QStringLiteral("ID"));
    parser.addOptions({help, version, capture, retry, data, parallel, verbose, notify, shard, run, merge});
    // Qt writes its options with one dash ("-platform xcb").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // What follows --webEngineArgs is the browser engine's.
    const qsizetype engineArgs = arguments.indexOf(QStringLiteral("--webEngineArgs"));
    parser.parse(engineArgs < 0 ? arguments : arguments.first(engineArgs));
    CommandLine line;
    for (const QString &name : parser.unknownOptionNames())
        if (!IsQtOption(name) && line.refusal.isEmpty())
            line.refusal = QStringLiteral("未知的选项：%1%2（corvix --help 列出可用的选项）")
                               .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
    if (parser.isSet(version))
        line.answer = VersionText() + u'\n';
    else if (parser.isSet(help))
        line.answer = HelpInChinese(parser.helpText(),
                                    QFileInfo(arguments.value(0, QStringLiteral("corvix"))).fileName());
    line.capture = parser.isSet(capture);
    line.retry = parser.isSet(retry);
    line.dataRoot = parser.value(data);
    line.verbose = parser.isSet(verbose);
    line.notifyCommand = parser.value(notify);
    if (parser.isSet(parallel) && line.refusal.isEmpty())
        ReadParallel(parser.value(parallel), line);
    if (line.refusal.isEmpty())
        ReadParts(parser, shard, run, merge, line);
    return line;
}

} // namespace corvix
