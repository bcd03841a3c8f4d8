#include "products/PriceHistoryIndex.h"

#include "products/PriceText.h"
#include "products/RecordColumns.h"
#include "products/RecordFile.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace corvix {
namespace {

constexpr uint32_t kNoRecord = std::numeric_limits<uint32_t>::max();

} // namespace

uint32_t PriceHistoryIndex::TitleId(const std::string &title)
{
    const auto [it, added] = titleIds_.try_emplace(title, static_cast<uint32_t>(pointsOfTitle_.size()));
    if (added) {
        pointsOfTitle_.emplace_back();
        lastRecordOfTitle_.push_back(kNoRecord);
    }
    return it->second;
}

uint32_t PriceHistoryIndex::SiteId(const std::string &siteTitle, uint32_t occurrence)
{
    std::string key = siteTitle;
    key += '\0';
    key += std::to_string(occurrence);
    const auto [it, added] = siteIds_.try_emplace(std::move(key), static_cast<uint32_t>(sites_.size()));
    if (added)
        sites_.push_back({siteTitle, occurrence});
    return it->second;
}

uint32_t PriceHistoryIndex::CellId(const std::string &text, DecimalMark mark)
{
    std::string key = text;
    key += '\0';
    key += static_cast<char>('0' + static_cast<int>(mark));
    const auto [it, added] = cellIds_.try_emplace(std::move(key), static_cast<uint32_t>(cells_.size()));
    if (added)
        cells_.push_back({text, ReadPrice(text, mark)});
    return it->second;
}

// Records nearly always arrive in name order (a save takes the newest stamp);
// one that does not moves the ranks of those after it.
void PriceHistoryIndex::UpdateRanks(uint32_t added)
{
    if (added == 0 || records_[newest_].file < records_[added].file) {
        rank_.push_back(added);
        newest_ = added;
        return;
    }
    std::vector<uint32_t> order(records_.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [this](uint32_t a, uint32_t b) { return records_[a].file < records_[b].file; });
    rank_.assign(records_.size(), 0);
    for (uint32_t position = 0; position < order.size(); ++position)
        rank_[order[position]] = position;
}

void PriceHistoryIndex::AddRecord(const std::filesystem::path &dbDir, const RecordListEntry &entry)
{
    AddRecord(dbDir, entry, LoadSideFile(RecordColumnsPath(dbDir)).value_or(LinkFile()));
}

void PriceHistoryIndex::AddRecord(const std::filesystem::path &dbDir, const RecordListEntry &entry,
                                  const LinkFile &columns)
{
    if (!files_.insert(entry.file.string()).second)
        return;
    const RecordColumns shops = ReadRecordColumns(columns, entry.name);
    std::vector<uint32_t> sites;
    std::unordered_map<std::string, uint32_t> seen;
    for (const std::string &shop : shops.shops)
        sites.push_back(kByTitle | SiteId(shop, seen[shop]++));
    const auto record = static_cast<uint32_t>(records_.size());
    records_.push_back({entry.name, entry.displayTime, entry.file});
    UpdateRanks(record);
    std::vector<std::vector<std::string>> rows;
    ForEachRecordRow(dbDir / entry.file, [&](std::vector<std::string> &fields) { rows.push_back(std::move(fields)); });
    // Each shop's own prices decide how an ambiguous one of them reads.
    std::vector<DecimalMark> marks;
    for (size_t k = 1;; ++k) {
        std::vector<std::string> column;
        for (const auto &fields : rows)
            if (k < fields.size())
                column.push_back(fields[k]);
        if (column.empty())
            break;
        marks.push_back(DecimalMarkOf(column));
    }
    for (const std::vector<std::string> &fields : rows) {
        if (fields.empty() || fields[0].empty())
            continue;
        const uint32_t title = TitleId(fields[0]);
        if (lastRecordOfTitle_[title] == record)
            continue;
        lastRecordOfTitle_[title] = record;
        for (size_t k = 1; k < fields.size(); ++k) {
            if (shops.known && k > sites.size())
                break;
            const uint32_t site = shops.known ? sites[k - 1] : static_cast<uint32_t>(k - 1);
            if (!fields[k].empty())
                pointsOfTitle_[title].push_back({record, site, CellId(fields[k], marks[k - 1])});
        }
    }
}

void PriceHistoryIndex::AddRecords(const std::filesystem::path &dbDir, const std::vector<RecordListEntry> &entries,
                                   const std::atomic<bool> *cancel)
{
    const LinkFile columns = LoadSideFile(RecordColumnsPath(dbDir)).value_or(LinkFile());
    for (const RecordListEntry &entry : entries) {
        if (cancel && cancel->load())
            return;
        AddRecord(dbDir, entry, columns);
    }
}

std::vector<PriceSeries> PriceHistoryIndex::History(const std::string &title,
                                                    const std::vector<std::string> &siteTitles) const
{
    std::vector<PriceSeries> series(siteTitles.size());
    for (size_t s = 0; s < siteTitles.size(); ++s)
        series[s].siteTitle = siteTitles[s];
    const auto found = titleIds_.find(title);
    if (found == titleIds_.end())
        return series;
    std::vector<Point> points = pointsOfTitle_[found->second];
    std::stable_sort(points.begin(), points.end(),
                     [this](const Point &a, const Point &b) { return rank_[a.record] < rank_[b.record]; });
    std::unordered_map<std::string, std::vector<size_t>> seriesOfTitle;
    for (size_t s = 0; s < siteTitles.size(); ++s)
        seriesOfTitle[siteTitles[s]].push_back(s);
    for (const Point &point : points) {
        size_t s = point.site;
        if (point.site & kByTitle) {
            const Site &site = sites_[point.site & ~kByTitle];
            const auto of = seriesOfTitle.find(site.title);
            if (of == seriesOfTitle.end() || site.occurrence >= of->second.size())
                continue;
            s = of->second[site.occurrence];
        }
        if (s >= series.size())
            continue;
        const Record &record = records_[point.record];
        const Cell &cell = cells_[point.cell];
        series[s].points.push_back({record.name, record.time, cell.price, cell.text});
    }
    return series;
}

} // namespace corvix
