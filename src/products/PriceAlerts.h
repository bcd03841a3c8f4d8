#pragma once
// The price targets the user sets with "设置提醒…", kept in "alerts.ini" in
// DbDir beside url.ini (a file older installations never open). One section
// per target, "alert1", "alert2" ..., named by the product's title (and a
// shop's title for one cell) rather than its row, because rows move when
// others are deleted or imported. GBK, CR LF lines, written whole.
//
//   [alert1]
//   product=<title>
//   shop=<shop title>       (absent: every shop of the product)
//   target=99               ("低于 n 元时提醒")
//   drop=10                 ("比上次降价超过 n%")
//   below1=<shop title>     (a shop whose price is under the target and was told)
//   instock=1               ("有货时提醒")
//   soldout1=<shop title>   (a shop seen out of stock, not yet back: told once when it is)
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
    // Told when a shop's cell goes from out of stock to a price, once per return.
    bool backInStock = false;
    std::vector<std::string> soldOutShops = {};

    bool Empty() const { return !target && !dropPercent && !backInStock; }
    bool Below(const std::string &shopTitle) const;
    void SetBelow(const std::string &shopTitle, bool below);
    bool SoldOut(const std::string &shopTitle) const;
    void SetSoldOut(const std::string &shopTitle, bool soldOut);
};

class PriceAlerts {
public:
    // A file that is missing or cannot be read gives no alerts.
    static PriceAlerts Load(const std::filesystem::path &path);
    static PriceAlerts Parse(std::string_view gbkText);
    std::string Text() const;
    // Atomic replace; false, with the old file kept, when it cannot be written.
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
    std::vector<PriceAlert> alerts_;
};

std::filesystem::path AlertsFilePath(const DataDirs &dirs);

} // namespace corvix
