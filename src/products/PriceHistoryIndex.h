#pragma once
// The price history of the products over all record files, indexed by product
// title so that one title's history is read without going through the files
// again. A price is kept under the shop title its record was saved with (the
// side file of RecordColumns.h), so that a shop closed or moved since keeps its
// own history; a record saved without titles has the current site columns (the
// enabled rules' titles in order), as when it is loaded into the grid.
// As in the change marks, a title that occurs more than once in a record counts
// with its first row, and rows without a title are left out.
#include "products/LinkFile.h"
#include "products/PriceText.h"
#include "products/RecordList.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace corvix {

struct PricePoint {
    std::string recordName;      // GBK, the record's name in the record list
    std::string recordTime;      // GBK, its time as the record list shows it (may be empty)
    std::optional<double> price; // ReadPrice of the cell; nullopt when it holds no price ("获取失败")
    std::string text;            // GBK, the cell as the record holds it
};

struct PriceSeries {
    std::string siteTitle;          // GBK, the column title
    std::vector<PricePoint> points; // oldest record first
};

class PriceHistoryIndex {
public:
    // Reads the record file of entry (a file of dbDir) into the index; a file
    // read before is not read again. Records may come in any order.
    void AddRecord(const std::filesystem::path &dbDir, const RecordListEntry &entry);
    // Reads the listed record files one after the other; stops between two
    // files once *cancel is true.
    void AddRecords(const std::filesystem::path &dbDir, const std::vector<RecordListEntry> &entries,
                    const std::atomic<bool> *cancel = nullptr);

    // One series per site title, in the order given, each holding the prices
    // of the product titled title in every record in name order. A cell that
    // holds something other than a price (a failed capture) is a point without
    // a price, so that a line can break there; an empty cell is no point. A record saved with its titles gives
    // a shop's price to the series of that title (the n-th of a title given
    // twice to the n-th); one saved without, its k-th shop to the k-th series.
    std::vector<PriceSeries> History(const std::string &title, const std::vector<std::string> &siteTitles) const;

    // The number of record files read.
    size_t RecordCount() const { return records_.size(); }

private:
    struct Record {
        std::string name;
        std::string time;
        std::filesystem::path file;
    };
    struct Point {
        uint32_t record; // index into records_
        uint32_t site;   // kByTitle | index into sites_, or the position (0 = first site column)
        uint32_t cell;   // index into cells_
    };
    // A shop keeps writing the same few texts, so each text is kept once with
    // its price: the index stays as small as one holding numbers only.
    struct Cell {
        std::string text;
        std::optional<double> price;
    };
    static constexpr uint32_t kByTitle = 0x80000000u;

    void AddRecord(const std::filesystem::path &dbDir, const RecordListEntry &entry, const LinkFile &columns);
    uint32_t TitleId(const std::string &title);
    uint32_t SiteId(const std::string &siteTitle, uint32_t occurrence);
    void UpdateRanks(uint32_t added);
    uint32_t CellId(const std::string &text, DecimalMark mark);

    std::vector<Record> records_;     // in the order read
    std::vector<uint32_t> rank_;      // each record's position in name order
    uint32_t newest_ = 0;             // the record last in name order
    std::unordered_set<std::string> files_;
    std::unordered_map<std::string, uint32_t> titleIds_;
    std::vector<std::vector<Point>> pointsOfTitle_;
    std::vector<uint32_t> lastRecordOfTitle_; // the record that gave the title's points last
    struct Site {
        std::string title;   // a shop title a record was saved with
        uint32_t occurrence; // 0 unless the record has the title more than once
    };
    std::vector<Site> sites_;
    std::vector<Cell> cells_;
    std::unordered_map<std::string, uint32_t> cellIds_; // text, then the mark it was read with
    std::unordered_map<std::string, uint32_t> siteIds_;
};

} // namespace corvix
