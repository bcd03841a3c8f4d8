#include "products/PriceAlerts.h"

#include "products/LinkFile.h"
#include "products/PriceText.h"
#include "support/FileIo.h"

#include <QByteArray>

#include <algorithm>

namespace corvix {
namespace {

std::string SectionOf(size_t index) { return "alert" + std::to_string(index + 1); }

std::optional<double> ReadNumber(const LinkFile &file, const std::string &section, std::string_view key)
{
    if (!file.HasValue(section, key))
        return std::nullopt;
    return ReadPrice(file.Value(section, key), DecimalMark::Point);
}

// Shortest text that reads back the same: "99", "12.5".
std::string NumberText(double value) { return QByteArray::number(value, 'g', 15).toStdString(); }

} // namespace

bool PriceAlert::Below(const std::string &shopTitle) const
{
    return std::find(belowShops.begin(), belowShops.end(), shopTitle) != belowShops.end();
}

void PriceAlert::SetBelow(const std::string &shopTitle, bool below)
{
    std::erase(belowShops, shopTitle);
    if (below)
        belowShops.push_back(shopTitle);
}

bool PriceAlert::SoldOut(const std::string &shopTitle) const
{
    return std::find(soldOutShops.begin(), soldOutShops.end(), shopTitle) != soldOutShops.end();
}

void PriceAlert::SetSoldOut(const std::string &shopTitle, bool soldOut)
{
    std::erase(soldOutShops, shopTitle);
    if (soldOut)
        soldOutShops.push_back(shopTitle);
}

PriceAlerts PriceAlerts::Load(const std::filesystem::path &path)
{
    // No file yet: no alerts.
    return Parse(ReadWholeFile(path, StopAt::ZeroOrTextEnd).value_or(std::string()));
}

PriceAlerts PriceAlerts::Parse(std::string_view gbkText)
{
    const LinkFile file = LinkFile::Parse(gbkText);
    PriceAlerts alerts;
    // Numbered from 1 without gaps as written; a gap ends the list.
    for (size_t i = 0; file.HasSection(SectionOf(i)); ++i) {
        const std::string section = SectionOf(i);
        PriceAlert alert;
        alert.product = file.Value(section, "product");
        alert.shop = file.Value(section, "shop");
        alert.target = ReadNumber(file, section, "target");
        alert.dropPercent = ReadNumber(file, section, "drop");
        for (int k = 1; file.HasValue(section, "below" + std::to_string(k)); ++k)
            alert.belowShops.push_back(file.Value(section, "below" + std::to_string(k)));
        alert.backInStock = file.Value(section, "instock") == "1";
        for (int k = 1; file.HasValue(section, "soldout" + std::to_string(k)); ++k)
            alert.soldOutShops.push_back(file.Value(section, "soldout" + std::to_string(k)));
        if (!alert.product.empty() && !alert.Empty())
            alerts.alerts_.push_back(std::move(alert));
    }
    return alerts;
}

std::string PriceAlerts::Text() const
{
    LinkFile file;
    for (size_t i = 0; i < alerts_.size(); ++i) {
        const PriceAlert &alert = alerts_[i];
        const std::string section = SectionOf(i);
        file.SetValue(section, "product", alert.product);
        if (!alert.shop.empty())
            file.SetValue(section, "shop", alert.shop);
        if (alert.target)
            file.SetValue(section, "target", NumberText(*alert.target));
        if (alert.dropPercent)
            file.SetValue(section, "drop", NumberText(*alert.dropPercent));
        for (size_t k = 0; k < alert.belowShops.size(); ++k)
            file.SetValue(section, "below" + std::to_string(k + 1), alert.belowShops[k]);
        if (alert.backInStock)
            file.SetValue(section, "instock", "1");
        for (size_t k = 0; k < alert.soldOutShops.size(); ++k)
            file.SetValue(section, "soldout" + std::to_string(k + 1), alert.soldOutShops[k]);
    }
    return file.Text();
}

Result<void> PriceAlerts::Save(const std::filesystem::path &path) const
{
    return WriteFileAtomically(path, Text());
}

const PriceAlert *PriceAlerts::Find(const std::string &product, const std::string &shop) const
{
    for (const PriceAlert &alert : alerts_)
        if (alert.product == product && alert.shop == shop)
            return &alert;
    return nullptr;
}

void PriceAlerts::Set(PriceAlert alert)
{
    alert.product = SingleLineText(alert.product);
    alert.shop = SingleLineText(alert.shop);
    const auto same = [&alert](const PriceAlert &a) { return a.product == alert.product && a.shop == alert.shop; };
    const auto found = std::find_if(alerts_.begin(), alerts_.end(), same);
    if (alert.Empty() || alert.product.empty()) {
        if (found != alerts_.end())
            alerts_.erase(found);
        return;
    }
    if (found == alerts_.end()) {
        alerts_.push_back(std::move(alert));
        return;
    }
    // The same target keeps what was told under it; a changed one is told afresh.
    alert.belowShops = found->target == alert.target ? found->belowShops : std::vector<std::string>{};
    alert.soldOutShops = alert.backInStock ? found->soldOutShops : std::vector<std::string>{};
    *found = std::move(alert);
}

std::vector<PriceAlert> PriceAlerts::TakeProduct(const std::string &product)
{
    std::vector<PriceAlert> taken;
    std::erase_if(alerts_, [&](PriceAlert &alert) {
        if (alert.product != product)
            return false;
        taken.push_back(std::move(alert));
        return true;
    });
    return taken;
}

bool PriceAlerts::HasProduct(const std::string &product) const
{
    return std::any_of(alerts_.begin(), alerts_.end(), [&](const PriceAlert &a) { return a.product == product; });
}

std::filesystem::path AlertsFilePath(const DataDirs &dirs) { return dirs.dbDir / "alerts.ini"; }

} // namespace corvix
