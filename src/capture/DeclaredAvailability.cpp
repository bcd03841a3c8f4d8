#include "capture/DeclaredAvailability.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

namespace corvix {
namespace {

std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// "https://schema.org/OutOfStock", "OutOfStock", "out of stock", "oos": the
// last path segment, lowered, letters and digits only.
Availability ReadValue(std::string_view value)
{
    const size_t slash = value.find_last_of('/');
    if (slash != std::string_view::npos && slash + 1 < value.size())
        value.remove_prefix(slash + 1);
    std::string word;
    for (char c : value)
        if (std::isalnum(static_cast<unsigned char>(c)))
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const char *const kOut[] = {"outofstock", "soldout", "discontinued", "oos"};
    static const char *const kIn[] = {"instock", "limitedavailability", "onlineonly", "instoreonly", "preorder",
                                      "presale", "backorder", "availablefororder", "available"};
    for (const char *w : kOut)
        if (word == w)
            return Availability::OutOfStock;
    for (const char *w : kIn)
        if (word == w)
            return Availability::InStock;
    return Availability::Undeclared;
}

// What one kind of declaration says: InStock when any value offers the
// product, OutOfStock when all that say something say it is gone.
struct Verdict {
    bool in = false;
    bool out = false;
    void Add(Availability a)
    {
        in = in || a == Availability::InStock;
        out = out || a == Availability::OutOfStock;
    }
    Availability Result() const
    {
        return in ? Availability::InStock : out ? Availability::OutOfStock : Availability::Undeclared;
    }
};

bool IsProductType(const QJsonValue &type)
{
    const auto one = [](const QString &t) {
        const QString name = t.section(u'/', -1);
        return name == QStringLiteral("Product") || name == QStringLiteral("ProductGroup");
    };
    if (type.isString())
        return one(type.toString());
    const QJsonArray types = type.toArray();
    return std::any_of(types.begin(), types.end(), [&](const QJsonValue &t) { return one(t.toString()); });
}

// Other products a product names are no part of its own offer.
bool NamesOtherProducts(const QString &key)
{
    return key == QStringLiteral("isRelatedTo") || key == QStringLiteral("isSimilarTo")
           || key == QStringLiteral("isAccessoryOrSparePartFor") || key == QStringLiteral("isConsumableFor")
           || key == QStringLiteral("isVariantOf");
}

void CollectAvailability(const QJsonValue &value, Verdict &verdict)
{
    if (value.isArray()) {
        for (const QJsonValue &v : value.toArray())
            CollectAvailability(v, verdict);
        return;
    }
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (NamesOtherProducts(it.key()))
            continue;
        if (it.key() == QStringLiteral("availability") && it.value().isString())
            verdict.Add(ReadValue(it.value().toString().toStdString()));
        else
            CollectAvailability(it.value(), verdict);
    }
}

// The products of a JSON-LD tree, each with what its offers say; a product
// inside a product (its variants) belongs to the outer one.
void FindProducts(const QJsonValue &value, std::vector<Verdict> &products)
{
    if (value.isArray()) {
        for (const QJsonValue &v : value.toArray())
            FindProducts(v, products);
        return;
    }
    const QJsonObject object = value.toObject();
    if (IsProductType(object.value(QStringLiteral("@type")))) {
        products.emplace_back();
        CollectAvailability(object, products.back());
        return;
    }
    for (const QJsonValue &v : object)
        FindProducts(v, products);
}

struct Tag {
    std::string name;                          // lowered
    std::map<std::string, std::string> attrs;  // names lowered, values as written
    size_t end = 0;                            // just after '>'
};

// The start tag at pos ('<' + letter); end 0 when there is none.
Tag ReadTag(std::string_view text, size_t pos)
{
    Tag tag;
    size_t i = pos + 1;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == ':'))
        tag.name += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
    while (i < text.size() && text[i] != '>') {
        if (std::isspace(static_cast<unsigned char>(text[i])) || text[i] == '/') {
            ++i;
            continue;
        }
        std::string name;
        while (i < text.size() && text[i] != '=' && text[i] != '>' && !std::isspace(static_cast<unsigned char>(text[i])))
            name += text[i++];
        std::string value;
        if (i < text.size() && text[i] == '=') {
            ++i;
            if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                const char quote = text[i++];
                const size_t close = text.find(quote, i);
                if (close == std::string_view::npos)
                    return {};
                value = text.substr(i, close - i);
                i = close + 1;
            } else {
                while (i < text.size() && text[i] != '>' && !std::isspace(static_cast<unsigned char>(text[i])))
                    value += text[i++];
            }
        }
        tag.attrs[LowerAscii(name)] = value;
    }
    if (i >= text.size())
        return {};
    tag.end = i + 1;
    return tag;
}

std::string Attr(const Tag &tag, const char *name)
{
    const auto it = tag.attrs.find(name);
    return it == tag.attrs.end() ? std::string() : it->second;
}

bool HasToken(std::string_view list, std::string_view token)
{
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && std::isspace(static_cast<unsigned char>(list[i])))
            ++i;
        size_t j = i;
        while (j < list.size() && !std::isspace(static_cast<unsigned char>(list[j])))
            ++j;
        if (LowerAscii(list.substr(i, j - i)) == token)
            return true;
        i = j;
    }
    return false;
}

bool IsProductItemType(std::string_view itemtype)
{
    std::string type = LowerAscii(itemtype);
    while (!type.empty() && (type.back() == '/' || std::isspace(static_cast<unsigned char>(type.back()))))
        type.pop_back();
    const size_t slash = type.find_last_of('/');
    const std::string last = slash == std::string::npos ? type : type.substr(slash + 1);
    return last == "product" || last == "productgroup";
}

} // namespace

Availability DeclaredAvailability(std::string_view markup)
{
    std::vector<Verdict> jsonProducts;
    int microdataProducts = 0;
    Verdict microdata, meta;
    size_t pos = 0;
    while ((pos = markup.find('<', pos)) != std::string_view::npos) {
        if (pos + 1 >= markup.size() || !std::isalpha(static_cast<unsigned char>(markup[pos + 1]))) {
            ++pos;
            continue;
        }
        const Tag tag = ReadTag(markup, pos);
        if (tag.end == 0) {
            ++pos;
            continue;
        }
        pos = tag.end;
        if (tag.name == "script") {
            const size_t close = LowerAscii(markup.substr(pos)).find("</script");
            const std::string_view body = markup.substr(pos, close);
            if (LowerAscii(Attr(tag, "type")).find("ld+json") != std::string::npos) {
                const QJsonDocument json = QJsonDocument::fromJson(QByteArray(body.data(), static_cast<qsizetype>(body.size())));
                FindProducts(json.isArray() ? QJsonValue(json.array()) : QJsonValue(json.object()), jsonProducts);
            }
            pos = close == std::string_view::npos ? markup.size() : pos + close;
            continue;
        }
        if (IsProductItemType(Attr(tag, "itemtype")))
            ++microdataProducts;
        if (HasToken(Attr(tag, "itemprop"), "availability")) {
            std::string value = Attr(tag, "href");
            if (value.empty())
                value = Attr(tag, "content");
            if (value.empty())
                value = markup.substr(pos, markup.find('<', pos) - pos);
            microdata.Add(ReadValue(value));
        }
        if (tag.name == "meta") {
            const std::string key = LowerAscii(Attr(tag, "property").empty() ? Attr(tag, "name") : Attr(tag, "property"));
            if (key == "og:availability" || key == "product:availability" || key == "og:product:availability")
                meta.Add(ReadValue(Attr(tag, "content")));
        }
    }
    Verdict page;
    if (jsonProducts.size() == 1)
        page.Add(jsonProducts.front().Result());
    if (microdataProducts <= 1)
        page.Add(microdata.Result());
    page.Add(meta.Result());
    return page.Result();
}

} // namespace corvix
