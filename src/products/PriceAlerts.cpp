#include "products/PriceAlerts.h"

#include "products/LinkFile.h"
#include "products/PriceText.h"
#include "support/FileIo.h"

#include <QByteArray>

#include <algorithm>
#include <deque>
#include <map>

namespace corvix {
namespace {

constexpr std::string_view kSectionPrefix = "alert";
constexpr std::string_view kBelowPrefix = "below";
constexpr std::string_view kAbovePrefix = "above";
constexpr std::string_view kSoldOutPrefix = "soldout";

std::optional<double> ReadNumber(const LinkFile &file, size_t place, std::string_view key)
{
    if (!file.HasValueAt(place, key))
        return std::nullopt;
    return ReadPrice(file.ValueAt(place, key), DecimalMark::Point);
}

// Shortest text that reads back the same: "99", "12.5".
std::string NumberText(double value) { return QByteArray::number(value, 'g', 15).toStdString(); }

std::optional<PriceAlert> AlertAt(const LinkFile &file, size_t place)
{
    PriceAlert alert;
    alert.product = UnquotedIniValue(file.ValueAt(place, "product"));
    alert.shop = UnquotedIniValue(file.ValueAt(place, "shop"));
    alert.target = ReadNumber(file, place, "target");
    alert.dropPercent = ReadNumber(file, place, "drop");
    alert.belowShops = file.NumberedValuesAt(place, kBelowPrefix);
    for (std::string &shop : alert.belowShops)
        shop = UnquotedIniValue(std::move(shop));
    alert.riseAbove = ReadNumber(file, place, "rise");
    alert.risePercent = ReadNumber(file, place, "risepct");
    alert.everyRun = file.ValueAt(place, "repeat") == "1";
    alert.aboveShops = file.NumberedValuesAt(place, kAbovePrefix);
    for (std::string &shop : alert.aboveShops)
        shop = UnquotedIniValue(std::move(shop));
    alert.backInStock = file.ValueAt(place, "instock") == "1";
    alert.soldOutShops = file.NumberedValuesAt(place, kSoldOutPrefix);
    for (std::string &shop : alert.soldOutShops)
        shop = UnquotedIniValue(std::move(shop));
    if (alert.product.empty() || alert.Empty())
        return std::nullopt;
    return alert;
}

void SetOrRemove(LinkFile &file, size_t place, std::string_view key, const std::optional<std::string> &value)
{
    if (value)
        file.SetValueAt(place, key, *value);
    else
        file.RemoveValueAt(place, key);
}

std::optional<std::string> NumberValue(const std::optional<double> &value)
{
    return value ? std::optional<std::string>(NumberText(*value)) : std::nullopt;
}

// Writes the keys of the fields that differ from before; the other lines of
// the section stay as they are.
void WriteAlert(LinkFile &file, size_t place, const PriceAlert *before, const PriceAlert &alert)
{
    if (!before || before->product != alert.product)
        file.SetValueAt(place, "product", QuotedIniValue(alert.product));
    if (!before || before->shop != alert.shop)
        SetOrRemove(file, place, "shop",
                    alert.shop.empty() ? std::nullopt : std::optional<std::string>(QuotedIniValue(alert.shop)));
    if (!before || before->target != alert.target)
        SetOrRemove(file, place, "target", NumberValue(alert.target));
    if (!before || before->dropPercent != alert.dropPercent)
        SetOrRemove(file, place, "drop", NumberValue(alert.dropPercent));
    const auto writeShops = [&](std::string_view prefix, const std::vector<std::string> &shops) {
        std::vector<std::string> quoted;
        for (const std::string &shop : shops)
            quoted.push_back(QuotedIniValue(shop));
        file.SetNumberedValuesAt(place, prefix, quoted);
    };
    if (!before || before->belowShops != alert.belowShops)
        writeShops(kBelowPrefix, alert.belowShops);
    if (!before || before->riseAbove != alert.riseAbove)
        SetOrRemove(file, place, "rise", NumberValue(alert.riseAbove));
    if (!before || before->risePercent != alert.risePercent)
        SetOrRemove(file, place, "risepct", NumberValue(alert.risePercent));
    if (!before || before->everyRun != alert.everyRun)
        SetOrRemove(file, place, "repeat", alert.everyRun ? std::optional<std::string>("1") : std::nullopt);
    if (!before || before->aboveShops != alert.aboveShops)
        writeShops(kAbovePrefix, alert.aboveShops);
    if (!before || before->backInStock != alert.backInStock)
        SetOrRemove(file, place, "instock", alert.backInStock ? std::optional<std::string>("1") : std::nullopt);
    if (!before || before->soldOutShops != alert.soldOutShops)
        writeShops(kSoldOutPrefix, alert.soldOutShops);
}

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

} // namespace

bool PriceAlert::Below(const std::string &shopTitle) const { return Listed(belowShops, shopTitle); }

void PriceAlert::SetBelow(const std::string &shopTitle, bool below) { SetListed(belowShops, shopTitle, below); }

bool PriceAlert::Above(const std::string &shopTitle) const { return Listed(aboveShops, shopTitle); }

void PriceAlert::SetAbove(const std::string &shopTitle, bool above) { SetListed(aboveShops, shopTitle, above); }

bool PriceAlert::SoldOut(const std::string &shopTitle) const { return Listed(soldOutShops, shopTitle); }

void PriceAlert::SetSoldOut(const std::string &shopTitle, bool soldOut) { SetListed(soldOutShops, shopTitle, soldOut); }

PriceAlerts PriceAlerts::Load(const std::filesystem::path &path)
{
    Result<LinkFile> file = LoadSideFile(path);
    if (!file) {
        PriceAlerts none;
        none.unreadable_ = std::move(file.error());
        return none;
    }
    return Read(std::move(*file));
}

Result<PriceAlerts> PriceAlerts::LoadToChange(const std::filesystem::path &path)
{
    return LoadSideFile(path).map([](LinkFile file) { return Read(std::move(file)); });
}

PriceAlerts PriceAlerts::Parse(std::string_view gbkText) { return Read(LinkFile::Parse(gbkText)); }

PriceAlerts PriceAlerts::Read(LinkFile file)
{
    PriceAlerts alerts;
    alerts.file_ = std::move(file);
    for (size_t place = 1; place < alerts.file_.SectionCount(); ++place)
        if (LinkFile::NumberAfter(alerts.file_.SectionNameAt(place), kSectionPrefix) >= 0)
            if (std::optional<PriceAlert> alert = AlertAt(alerts.file_, place)) {
                alerts.alerts_.push_back(*alert);
                alerts.read_.push_back({place, std::move(*alert)});
            }
    return alerts;
}

std::string PriceAlerts::Text() const
{
    LinkFile file = file_;
    // Each alert keeps a section read with its product and shop: first one read
    // with all its values (an alert left as it was keeps its own section), then
    // the first one left. The sections no alert keeps are those of alerts removed.
    std::map<std::pair<std::string_view, std::string_view>, std::deque<size_t>> readOf;
    for (size_t j = 0; j < read_.size(); ++j)
        readOf[{read_[j].alert.product, read_[j].alert.shop}].push_back(j);
    constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<size_t> sectionOf(alerts_.size(), kNone);
    for (size_t i = 0; i < alerts_.size(); ++i) {
        const auto found = readOf.find({alerts_[i].product, alerts_[i].shop});
        if (found == readOf.end())
            continue;
        std::deque<size_t> &candidates = found->second;
        const auto same = std::find_if(candidates.begin(), candidates.end(),
                                       [&](size_t j) { return read_[j].alert == alerts_[i]; });
        if (same != candidates.end()) {
            sectionOf[i] = *same;
            candidates.erase(same);
        }
    }
    std::vector<bool> kept(read_.size(), false);
    std::vector<const PriceAlert *> added;
    for (size_t i = 0; i < alerts_.size(); ++i) {
        const PriceAlert &alert = alerts_[i];
        size_t j = sectionOf[i];
        if (j == kNone) {
            const auto found = readOf.find({alert.product, alert.shop});
            if (found == readOf.end() || found->second.empty()) {
                added.push_back(&alert);
                continue;
            }
            j = found->second.front();
            found->second.pop_front();
        }
        kept[j] = true;
        if (!(read_[j].alert == alert))
            WriteAlert(file, read_[j].place, &read_[j].alert, alert);
    }
    std::vector<size_t> removed;
    for (size_t j = 0; j < read_.size(); ++j)
        if (!kept[j])
            removed.push_back(read_[j].place);
    long long last = 0;
    for (size_t place = 1; place < file.SectionCount(); ++place)
        last = std::max(last, LinkFile::NumberAfter(file.SectionNameAt(place), kSectionPrefix));
    file.RemoveSectionsAt(std::move(removed));
    for (const PriceAlert *alert : added)
        WriteAlert(file, file.AppendSectionAt(std::string(kSectionPrefix) + std::to_string(++last)), nullptr, *alert);
    return file.Text();
}

Result<void> PriceAlerts::Save(const std::filesystem::path &path) const
{
    if (unreadable_)
        return ReadFailure(path, unreadable_->reason);
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
    alert.soldOutShops = alert.backInStock ? found->soldOutShops : std::vector<std::string>{};
    *found = std::move(alert);
}

std::vector<PriceAlert> PriceAlerts::TakeProduct(const std::string &product)
{
    // A copy: the title given may be one of the alerts' own, which moves below.
    const std::string title = product;
    std::vector<PriceAlert> taken;
    std::erase_if(alerts_, [&](PriceAlert &alert) {
        if (alert.product != title)
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
