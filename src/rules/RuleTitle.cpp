#include "rules/RuleTitle.h"

#include "support/Gbk.h"

#include <QString>
#include <QStringList>

namespace corvix {

// A title is the base name of a file, so it must stay one name inside the rule
// directory and mean the same file everywhere. The data directory is plain files
// that users copy between machines, and the rules come from a Windows program,
// so the check is the stricter of both systems:
// - no path separator ("/" or "\"), and not "." or "..": these would leave the
//   directory. Checked on the decoded characters, as GBK second bytes include
//   0x5C (the "\" byte of 乗) while the character is harmless;
// - every byte must decode and encode back unchanged, or the name on disk would
//   not be the title in the index;
// - no control characters (a line break would also split the index line) and
//   none of <>:"|?* which Windows refuses;
// - trailing dots and blanks are fine: Windows drops them only at the end of
//   the whole file name, which always ends in ".spider.cfg";
// - not a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9), with or without an
//   extension, since "CON.spider.cfg" still opens the console there;
// - the whole file name within 255 UTF-16 units and 255 UTF-8 bytes.
bool IsValidRuleTitle(std::string_view gbkTitle)
{
    if (gbkTitle.empty())
        return false;
    const QString title = FromGbk(gbkTitle);
    if (title.isEmpty() || ToGbk(title) != gbkTitle)
        return false;
    if (title == QLatin1String(".") || title == QLatin1String(".."))
        return false;
    for (const QChar c : title) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == 0xFFFD)
            return false;
        if (QStringLiteral("/\\<>:\"|?*").contains(c))
            return false;
    }
    const QString base = title.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList reserved = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                         QStringLiteral("NUL")};
    if (reserved.contains(base))
        return false;
    if (base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))) &&
        base[3] >= QLatin1Char('1') && base[3] <= QLatin1Char('9'))
        return false;
    const QString fileName = title + QStringLiteral(".spider.cfg");
    return fileName.size() <= 255 && fileName.toUtf8().size() <= 255;
}

} // namespace corvix
