#include "app/QtTextsSupplement.h"

#include <cstring>

namespace corvix {
namespace {

struct QtText {
    const char *context;
    const char *source;
    const char *chinese;
};

// The file type column of the file dialog names what is not a file by the
// icon provider's words; Qt's catalogue has the same words in its file
// dialog's own context, and the same Chinese is used here.
constexpr QtText kQtTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "文件夹"},
    {"QAbstractFileIconProvider", "File Folder", "文件夹"},
    {"QAbstractFileIconProvider", "Drive", "驱动器"},
    {"QAbstractFileIconProvider", "File", "文件"},
    {"QAbstractFileIconProvider", "Shortcut", "快捷方式"},
    {"QAbstractFileIconProvider", "Alias", "别名"},
    {"QAbstractFileIconProvider", "Unknown", "未知"},
};

} // namespace

QString QtTextsSupplement::translate(const char *context, const char *sourceText, const char *, int) const
{
    if (!context || !sourceText)
        return {};
    for (const QtText &text : kQtTexts)
        if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, sourceText) == 0)
            return QString::fromUtf8(text.chinese);
    return {};
}

} // namespace corvix
