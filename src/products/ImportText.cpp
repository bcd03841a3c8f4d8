#include "products/ImportText.h"

#include "products/PackSizeFile.h"

#include "products/LinkFile.h"

#include "support/Gbk.h"
#include "support/GbkBytes.h"
#include "support/TextUtils.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace corvix {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool HasNonAscii(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), IsHighByte);
}

// nullopt when the bytes are not valid UTF-8.
std::optional<QString> DecodeUtf8(std::string_view bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// A line feed is never the second byte of a two-byte character, so the bytes
// are changed in place of GBK characters never.
std::string WithCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

// Converted line by line, so that the lines a character could not be written
// in can be named.
ImportFile FromUnicode(const QString &text)
{
    ImportFile file;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::string gbk = ToGbk(lines[i]);
        if (FromGbk(gbk) != lines[i])
            file.linesWithoutGbk.push_back(static_cast<int>(i) + 1);
        if (i > 0)
            file.text += '\n';
        file.text += gbk;
    }
    file.text = WithCrLf(file.text);
    return file;
}

} // namespace

std::string NormaliseSeparators(std::string_view text)
{
    static const std::array<std::string, 7> separators = {Gbk("，"), "|", Gbk("《"), Gbk("》"), "<", ">", "\t"};
    std::string out(text);
    for (const std::string &separator : separators)
        out = ReplaceText(out, separator, ",");
    return out;
}

std::string PrepareClipboardText(std::string_view text)
{
    std::string normalised = NormaliseSeparators(text);
    const std::vector<std::string> lines = SplitText(normalised, "\r\n");
    if (lines.empty())
        return {};
    if (SplitText(lines.front(), ",").size() < 2)
        return {};
    return normalised;
}

ImportFile DecodeImportFile(std::string_view bytes)
{
    if (bytes.starts_with(kUtf8Mark)) {
        // A mark followed by broken bytes is still meant as UTF-8: what cannot
        // be read becomes U+FFFD and its line is named like any other.
        const std::string_view body = bytes.substr(kUtf8Mark.size());
        return FromUnicode(QString::fromUtf8(body.data(), static_cast<qsizetype>(body.size())));
    }
    if (HasNonAscii(bytes))
        if (const std::optional<QString> text = DecodeUtf8(bytes))
            return FromUnicode(*text);
    return ImportFile{WithCrLf(bytes), {}};
}

ImportCount CountImport(std::string_view text, int ruleColumns)
{
    ImportCount count;
    int number = 0;
    for (const std::string &line : SplitText(text, "\r\n")) {
        ++number;
        const std::vector<std::string> fields = SplitText(line, ",");
        if (fields.size() < 2) {
            if (!TrimText(line).empty())
                count.linesWithoutProduct.push_back(number);
            continue;
        }
        ++count.rows;
        // Field 0 is the title, fields 1..ruleColumns are the links the run takes.
        for (size_t k = static_cast<size_t>(std::max(ruleColumns, 0)) + 1; k < fields.size(); ++k)
            if (!TrimText(fields[k]).empty())
                ++count.ignoredLinks;
    }
    return count;
}

std::vector<ImportedProduct> ImportedProducts(std::string_view text)
{
    std::vector<ImportedProduct> products;
    for (const std::string &line : SplitText(text, "\r\n")) {
        std::vector<std::string> fields = SplitText(line, ",");
        if (fields.size() < 2)
            continue;
        ImportedProduct product{.title = std::move(fields[0]), .links = {}, .sizes = {}};
        for (size_t f = 1; f < fields.size(); ++f) {
            auto [link, size] = LinkAndSize(fields[f]);
            // A field that is no more than its size keeps its text: it was no link with a size.
            if (link.empty())
                link = fields[f], size.clear();
            product.links.push_back(std::move(link));
            product.sizes.push_back(std::move(size));
        }
        products.push_back(std::move(product));
    }
    return products;
}

int ProductsDroppedByReplace(const LinkFile &links, const std::vector<ImportedProduct> &products)
{
    std::unordered_set<std::string> imported;
    for (const ImportedProduct &product : products)
        imported.insert(product.title);
    int dropped = 0;
    for (int i = 0; i < links.ProductCount(); ++i)
        if (!imported.contains(links.ProductValue(i, "title")))
            ++dropped;
    return dropped;
}

namespace {

void WriteProduct(LinkFile &links, int row, const ImportedProduct &product,
                  const std::vector<std::string> &shopTitles, bool sameProduct)
{
    if (!sameProduct)
        links.ClearProductKeys(row);
    links.SetProductValue(row, "title", product.title);
    for (size_t k = 0; k < shopTitles.size(); ++k) {
        const std::string &link = k < product.links.size() ? product.links[k] : std::string();
        if (TrimText(link).empty())
            links.RemoveProductValue(row, shopTitles[k]);
        else
            links.SetProductValue(row, shopTitles[k], link);
    }
}

} // namespace

void MergeImport(LinkFile &links, const std::vector<ImportedProduct> &products,
                 const std::vector<std::string> &shopTitles, ImportMode mode)
{
    links.NumberProductsInOrder();
    if (mode == ImportMode::Replace) {
        const int before = links.ProductCount();
        for (size_t i = 0; i < products.size(); ++i) {
            const int row = static_cast<int>(i);
            const bool same = row < before && links.ProductValue(row, "title") == products[i].title;
            WriteProduct(links, row, products[i], shopTitles, same);
        }
        while (links.ProductCount() > static_cast<int>(products.size()))
            links.RemoveProductSection(static_cast<int>(products.size()));
        return;
    }
    std::unordered_map<std::string, int> rowOfTitle;
    for (int i = links.ProductCount() - 1; i >= 0; --i)
        rowOfTitle[links.ProductValue(i, "title")] = i;
    for (const ImportedProduct &product : products) {
        const auto found = rowOfTitle.find(product.title);
        if (found != rowOfTitle.end()) {
            WriteProduct(links, found->second, product, shopTitles, true);
            continue;
        }
        const int row = links.ProductCount();
        WriteProduct(links, row, product, shopTitles, false);
        rowOfTitle.emplace(product.title, row);
    }
}


} // namespace corvix
