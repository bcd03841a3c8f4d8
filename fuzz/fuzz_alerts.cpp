// The alerts.ini reader: a rewrite that changes nothing gives back every byte,
// and an alert set, changed or removed reads back as it was set, beside every
// other alert of the file.
#include "FuzzSupport.h"
#include "products/LinkFile.h"
#include "products/PriceAlerts.h"
#include "support/TextUtils.h"

using namespace corvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<std::string> p = fuzz::Pieces(fuzz::Bytes(data, size), 5);
    PriceAlerts alerts = PriceAlerts::Parse(p[0]);
    FUZZ_CHECK(alerts.Text() == p[0]);

    const unsigned char choice = p[4].empty() ? 0 : static_cast<unsigned char>(p[4][0]);
    PriceAlert alert;
    alert.product = p[1];
    alert.shop = p[2];
    if (choice & 1U)
        alert.target = (choice >> 2U) * 0.25 + 0.5;
    if (choice & 2U)
        alert.dropPercent = (choice >> 3U) + 1;
    for (const std::string &shop : SplitText(p[3], ",", 8))
        alert.belowShops.push_back(SingleLineText(shop));
    if (choice & 0x80U && !alerts.All().empty())
        alerts.TakeProduct(alerts.All()[choice % alerts.All().size()].product);
    else
        alerts.Set(alert);

    const std::string text = alerts.Text();
    const PriceAlerts read = PriceAlerts::Parse(text);
    FUZZ_CHECK(read.All() == alerts.All());
    FUZZ_CHECK(read.Text() == text);
    return 0;
}
