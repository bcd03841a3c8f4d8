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

bool Listed(const std::vector<std::string> &shops, const std::string &shopTitle)
{
    return std::find(shops.begin(), shops.end(), shopTitle) != shops.end();
}

void SetListed(std::vector<std::string> &shops, const std::string &shopTitle, bool listed)
{
    std::erase(shops, shopTitle);
    if (listed)
        shops.push_back(shopTitle);
}

std::vector<std::string> ReadList(const LinkFile &file, const std::string &section, const std::string &key)
{
    std::vector<std::string> values;
    for (int k = 1; file.HasValue(section, key + std::to_string(k)); ++k)
        values.push_back(file.Value(section, key + std::to_string(k)));
    return values;
}

void WriteList(LinkFile &file, const std::string &section, const std::string &key,
               const std::vector<std::string> &values)
{
    for (size_t k = 0; k < values.size(); ++k)
        file.SetValue(section, key + std::to_string(k + 1), values[k]);
}

} // namespace

bool PriceAlert::Below(const std::string &shopTitle) const { return Listed(belowShops, shopTitle); }

void PriceAlert::SetBelow(const std::string &shopTitle, bool below) { SetListed(belowShops, shopTitle, below); }

bool PriceAlert::Above(const std::string &shopTitle) const { return Listed(aboveShops, shopTitle); }

void PriceAlert::SetAbove(const std::string &shopTitle, bool above) { SetListed(aboveShops, shopTitle, above); }

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
        alert.belowShops = ReadList(file, section, "below");
        alert.riseAbove = ReadNumber(file, section, "rise");
        alert.risePercent = ReadNumber(file, section, "risepct");
        alert.everyRun = file.Value(section, "repeat") == "1";
        alert.aboveShops = ReadList(file, section, "above");
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
        WriteList(file, section, "below", alert.belowShops);
        if (alert.riseAbove)
            file.SetValue(section, "rise", NumberText(*alert.riseAbove));
        if (alert.risePercent)
            file.SetValue(section, "risepct", NumberText(*alert.risePercent));
        if (alert.everyRun)
            file.SetValue(section, "repeat", "1");
        WriteList(file, section, "above", alert.aboveShops);
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
    // The same limit keeps what was told beyond it; a changed one is told afresh.
    alert.belowShops = found->target == alert.target ? found->belowShops : std::vector<std::string>{};
    alert.aboveShops = found->riseAbove == alert.riseAbove ? found->aboveShops : std::vector<std::string>{};
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
