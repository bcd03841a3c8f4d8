#include "products/PackSizeFile.h"

#include "products/ImportText.h"
#include "products/LinkFile.h"
#include "support/FileIo.h"
#include "support/TextUtils.h"

#include <algorithm>

namespace corvix {
namespace {

std::string SectionOf(size_t index) { return "pack" + std::to_string(index + 1); }

} // namespace

PackSizeFile PackSizeFile::Load(const std::filesystem::path &path)
{
    return Parse(ReadWholeFile(path, StopAt::ZeroOrTextEnd).value_or(std::string()));
}

Result<PackSizeFile> PackSizeFile::LoadToChange(const std::filesystem::path &path)
{
    return AbsentAsEmpty(ReadWholeFile(path, StopAt::ZeroOrTextEnd)).map([](const std::string &text) {
        return Parse(text);
    });
}

PackSizeFile PackSizeFile::Parse(std::string_view gbkText)
{
    const LinkFile file = LinkFile::Parse(gbkText);
    PackSizeFile packs;
    // Numbered from 1 without gaps as written; a gap ends the list.
    for (size_t i = 0; file.HasSection(SectionOf(i)); ++i) {
        const std::string section = SectionOf(i);
        ProductPacks product;
        product.product = file.Value(section, "product");
        product.unit = UnitFromKey(file.Value(section, "unit"));
        for (int k = 1; file.HasValue(section, "shop" + std::to_string(k)); ++k) {
            const std::string n = std::to_string(k);
            const std::string size = file.Value(section, "size" + n);
            if (!size.empty())
                product.sizes.emplace_back(file.Value(section, "shop" + n), size);
        }
        if (!product.product.empty() && (product.unit || !product.sizes.empty()))
            packs.products_.push_back(std::move(product));
    }
    return packs;
}

std::string PackSizeFile::Text() const
{
    LinkFile file;
    for (size_t i = 0; i < products_.size(); ++i) {
        const ProductPacks &p = products_[i];
        const std::string section = SectionOf(i);
        file.SetValue(section, "product", p.product);
        if (p.unit)
            file.SetValue(section, "unit", UnitKey(*p.unit));
        for (size_t k = 0; k < p.sizes.size(); ++k) {
            file.SetValue(section, "shop" + std::to_string(k + 1), p.sizes[k].first);
            file.SetValue(section, "size" + std::to_string(k + 1), p.sizes[k].second);
        }
    }
    return file.Text();
}

Result<void> PackSizeFile::Save(const std::filesystem::path &path) const
{
    return WriteFileAtomically(path, Text());
}

ProductPacks *PackSizeFile::Find(const std::string &product)
{
    const auto it = std::find_if(products_.begin(), products_.end(),
                                 [&](const ProductPacks &p) { return p.product == product; });
    return it == products_.end() ? nullptr : &*it;
}

const ProductPacks *PackSizeFile::Find(const std::string &product) const
{
    return const_cast<PackSizeFile *>(this)->Find(product);
}

std::string PackSizeFile::SizeText(const std::string &product, const std::string &shop) const
{
    if (const ProductPacks *p = Find(product))
        for (const auto &[s, size] : p->sizes)
            if (s == shop)
                return size;
    return {};
}

void PackSizeFile::SetSize(const std::string &product, const std::string &shop, const std::string &size)
{
    const std::string title = SingleLineText(product);
    const std::string text = TrimText(SingleLineText(size));
    ProductPacks *p = Find(title);
    if (!p) {
        if (text.empty() || title.empty())
            return;
        products_.push_back({title, std::nullopt, {}});
        p = &products_.back();
    }
    const auto it = std::find_if(p->sizes.begin(), p->sizes.end(), [&](const auto &s) { return s.first == shop; });
    if (text.empty()) {
        if (it != p->sizes.end())
            p->sizes.erase(it);
    } else if (it != p->sizes.end()) {
        it->second = text;
    } else {
        p->sizes.emplace_back(SingleLineText(shop), text);
    }
    if (p->sizes.empty() && !p->unit)
        std::erase_if(products_, [&](const ProductPacks &q) { return q.product == title; });
}

std::optional<PriceUnit> PackSizeFile::ChosenUnit(const std::string &product) const
{
    const ProductPacks *p = Find(product);
    return p ? p->unit : std::nullopt;
}

void PackSizeFile::SetChosenUnit(const std::string &product, std::optional<PriceUnit> unit)
{
    ProductPacks *p = Find(product);
    if (!p) {
        if (!unit || product.empty())
            return;
        products_.push_back({SingleLineText(product), unit, {}});
        return;
    }
    p->unit = unit;
    if (p->sizes.empty() && !p->unit)
        std::erase_if(products_, [&](const ProductPacks &q) { return q.product == product; });
}

std::optional<PriceUnit> PackSizeFile::UnitOf(const std::string &product) const
{
    const ProductPacks *p = Find(product);
    if (!p)
        return std::nullopt;
    if (p->unit)
        return p->unit;
    std::vector<Amount> sizes;
    for (const auto &[shop, text] : p->sizes)
        if (const std::optional<Amount> a = ReadPackSize(text))
            sizes.push_back(*a);
    return BestUnit(sizes);
}

void PackSizeFile::RenameProduct(const std::string &from, const std::string &to)
{
    if (from == to || !Find(from))
        return;
    std::erase_if(products_, [&](const ProductPacks &p) { return p.product == to; });
    if (to.empty()) {
        std::erase_if(products_, [&](const ProductPacks &p) { return p.product == from; });
        return;
    }
    Find(from)->product = to;
}

std::filesystem::path PackSizeFilePath(const DataDirs &dirs) { return dirs.dbDir / "packs.ini"; }

std::pair<std::string, std::string> LinkAndSize(std::string_view gbkField)
{
    const std::string field = TrimText(gbkField);
    const std::pair<std::string, std::string> asIs{std::string(gbkField), {}};
    // The bracket closes the field: "]" inside a link is left alone.
    if (field.size() < 3 || field.back() != ']')
        return asIs;
    const TextPos open = FindTextBackward(field, "[");
    if (open < 2)
        return asIs;
    const size_t at = static_cast<size_t>(open - 1);
    // "[x]" in a link's query is part of the link, not a size: a size follows a blank.
    if (field[at - 1] != ' ' && field[at - 1] != '\t')
        return asIs;
    return {TrimText(std::string_view(field).substr(0, at)),
            TrimText(std::string_view(field).substr(at + 1, field.size() - at - 2))};
}

void TakeImportedSizes(PackSizeFile &file, const std::vector<ImportedProduct> &products,
                       const std::vector<std::string> &shopTitles)
{
    for (const ImportedProduct &product : products)
        for (size_t k = 0; k < product.sizes.size() && k < shopTitles.size(); ++k)
            if (!product.sizes[k].empty() && !product.links[k].empty())
                file.SetSize(product.title, shopTitles[k], product.sizes[k]);
}

} // namespace corvix
