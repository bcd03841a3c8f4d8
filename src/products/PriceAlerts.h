#pragma once
// The price targets the user sets with "设置提醒…", kept in "alerts.ini" in
// DbDir beside url.ini (a file older installations never open). One section
// per target, "alert1", "alert2" ..., named by the product's title (and a
// shop's title for one cell) rather than its row, because rows move when
// others are deleted or imported. GBK, CR LF lines. A rewrite changes only the
// sections of the alerts that changed, came or went: sections it does not
// understand, comments, a gap in the numbering or a name written twice stay as
// they were. Titles with blanks at their ends are written in double quotes.
//
//   [alert1]
//   product=<title>
//   shop=<shop title>       (absent: every shop of the product)
//   target=99               ("低于 n 元时提醒")
//   drop=10                 ("比上次降价超过 n%")
//   rise=120                ("高于 n 元时提醒")
//   risepct=10              ("比上次涨价超过 n%")
//   repeat=1                (told after every run while it holds; absent: once per crossing)
//   below1=<shop title>     (a shop whose price is under the target and was told)
//   above1=<shop title>     (a shop whose price is over the rise limit and was told)
//   instock=1               ("有货时提醒")
//   soldout1=<shop title>   (a shop seen out of stock, not yet back: told once when it is)
// An installation that knows only target and drop reads those and skips an
// alert that has neither.
#include "products/LinkFile.h"
#include "support/DataDirs.h"

#include "support/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

struct PriceAlert {
    std::string product; // GBK
    std::string shop;    // GBK; empty for every shop of the product
    std::optional<double> target;
    std::optional<double> dropPercent;
    // The shops under the target at the last run, already told: a notice is
    // given once per crossing and re-armed when the price rises to the target.
    std::vector<std::string> belowShops;
    std::optional<double> riseAbove{};   // "高于 n 元时提醒"
    std::optional<double> risePercent{}; // "比上次涨价超过 n%"
    // Told after every run while the price is beyond a limit, rather than once
    // when it crosses it.
    bool everyRun = false;
    std::vector<std::string> aboveShops{}; // as belowShops, for riseAbove
    // Told when a shop's cell goes from out of stock to a price, once per return.
    bool backInStock = false;
    std::vector<std::string> soldOutShops = {};

    bool Empty() const { return !target && !dropPercent && !riseAbove && !risePercent && !backInStock; }
    bool operator==(const PriceAlert &) const = default;
    bool Below(const std::string &shopTitle) const;
    void SetBelow(const std::string &shopTitle, bool below);
    bool Above(const std::string &shopTitle) const;
    void SetAbove(const std::string &shopTitle, bool above);
    bool SoldOut(const std::string &shopTitle) const;
    void SetSoldOut(const std::string &shopTitle, bool soldOut);
};

class PriceAlerts {
public:
    // A file that is missing or cannot be read whole gives no alerts; one that
    // cannot be read whole is then never written over (Save).
    static PriceAlerts Load(const std::filesystem::path &path);
    // For a change to be saved: a missing file has no alerts, one that is there
    // and cannot be read whole is an error.
    static Result<PriceAlerts> LoadToChange(const std::filesystem::path &path);
    static PriceAlerts Parse(std::string_view gbkText);
    // The text read, with the sections of the alerts that changed rewritten,
    // those of alerts removed taken out and new ones appended.
    std::string Text() const;
    // Atomic replace; an error naming the file, with the old file kept, when it
    // cannot be written or could not be read whole.
    Result<void> Save(const std::filesystem::path &path) const;

    const std::vector<PriceAlert> &All() const { return alerts_; }
    std::vector<PriceAlert> &All() { return alerts_; }
    // The alert of the product (shop empty) or of one of its cells; nullptr when none.
    const PriceAlert *Find(const std::string &product, const std::string &shop) const;
    // Sets or replaces the alert of alert.product × alert.shop; an empty one is removed.
    void Set(PriceAlert alert);
    // Removes every alert of the product (its own and its cells') and returns them.
    std::vector<PriceAlert> TakeProduct(const std::string &product);
    bool HasProduct(const std::string &product) const;

private:
    // Every section named "alert" + a number that holds a product and a
    // limit, in file order; the numbers need not run from 1.
    static PriceAlerts Read(LinkFile file);

    struct ReadAlert {
        size_t place; // the section's place in file_
        PriceAlert alert;
    };
    LinkFile file_;                  // as read
    std::vector<ReadAlert> read_;    // in file order
    std::optional<FileError> unreadable_;
    std::vector<PriceAlert> alerts_;
};

std::filesystem::path AlertsFilePath(const DataDirs &dirs);

} // namespace corvix
