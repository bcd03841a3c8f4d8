#include "support/Gbk.h"
#include "support/PathText.h"

#include <unicode/ucnv.h>

#include <memory>
#include <mutex>

namespace corvix {
namespace {

// ICU converters are not thread-safe; the program has one UI thread, but
// benchmarks and tests may convert from several threads, so each thread keeps
// its own converter.
UConverter *GbkConverter()
{
    thread_local std::unique_ptr<UConverter, void (*)(UConverter *)> conv(
        [] {
            UErrorCode status = U_ZERO_ERROR;
            UConverter *c = ucnv_open("windows-936", &status);
            if (U_SUCCESS(status)) {
                // "?" for characters without a GBK form (the default, made explicit).
                UErrorCode s2 = U_ZERO_ERROR;
                ucnv_setSubstChars(c, "?", 1, &s2);
            }
            return U_SUCCESS(status) ? c : nullptr;
        }(),
        [](UConverter *c) { if (c) ucnv_close(c); });
    return conv.get();
}


} // namespace

QString FromGbk(std::string_view gbk)
{
    if (gbk.empty())
        return {};
    UConverter *conv = GbkConverter();
    if (!conv)
        return QString::fromLatin1(gbk.data(), static_cast<qsizetype>(gbk.size()));
    ucnv_resetToUnicode(conv);
    std::u16string out(gbk.size() + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(conv, reinterpret_cast<UChar *>(out.data()), static_cast<int32_t>(out.size()),
                              gbk.data(), static_cast<int32_t>(gbk.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(static_cast<size_t>(n) + 1, u'\0');
        status = U_ZERO_ERROR;
        ucnv_resetToUnicode(conv);
        n = ucnv_toUChars(conv, reinterpret_cast<UChar *>(out.data()), static_cast<int32_t>(out.size()),
                          gbk.data(), static_cast<int32_t>(gbk.size()), &status);
    }
    if (U_FAILURE(status))
        return {};
    return QString(reinterpret_cast<const QChar *>(out.data()), n);
}

std::string ToGbk(const QString &text)
{
    if (text.isEmpty())
        return {};
    UConverter *conv = GbkConverter();
    if (!conv)
        return text.toLatin1().toStdString();
    ucnv_resetFromUnicode(conv);
    std::string out(static_cast<size_t>(text.size()) * 2 + 2, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()),
                                reinterpret_cast<const UChar *>(text.utf16()), static_cast<int32_t>(text.size()),
                                &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(static_cast<size_t>(n) + 1, '\0');
        status = U_ZERO_ERROR;
        ucnv_resetFromUnicode(conv);
        n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()),
                            reinterpret_cast<const UChar *>(text.utf16()), static_cast<int32_t>(text.size()),
                            &status);
    }
    if (U_FAILURE(status))
        return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string Utf8ToGbk(std::string_view utf8)
{
    return ToGbk(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

std::string GbkToUtf8(std::string_view gbk)
{
    return FromGbk(gbk).toUtf8().toStdString();
}

std::filesystem::path PathInDir(const std::filesystem::path &dir, std::string_view gbkName)
{
    const QString name = FromGbk(gbkName);
    return dir / std::filesystem::path(name.toStdU16String());
}

std::string PathToGbk(const std::filesystem::path &path)
{
    return ToGbk(PathText(path));
}

} // namespace corvix
