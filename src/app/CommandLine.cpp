#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace corvix {

QString VersionText()
{
    return QStringLiteral("Corvix " CORVIX_VERSION);
}

CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Corvix：按商城采集规则抓取商品价格，保存并导出价格记录。"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // Unknown options belong to Qt or the browser engine; parse() reports them,
    // and they are not ours to refuse.
    parser.parse(arguments);
    CommandLine line;
    if (parser.isSet(version))
        line.answer = VersionText() + u'\n';
    else if (parser.isSet(help))
        line.answer = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                QFileInfo(arguments.value(0, QStringLiteral("corvix"))).fileName());
    return line;
}

} // namespace corvix
