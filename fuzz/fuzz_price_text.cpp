// The price reader: the prices a person reads in cell texts, and the decimal
// mark of a shop's column.
#include "FuzzSupport.h"
#include "products/PriceText.h"
#include "support/TextUtils.h"

#include <cmath>

using namespace corvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text = fuzz::Bytes(data, size);
    for (DecimalMark mark : {DecimalMark::Unknown, DecimalMark::Point, DecimalMark::Comma})
        if (const std::optional<double> price = ReadPrice(text, mark))
            FUZZ_CHECK(std::isfinite(*price));
    if (const std::optional<double> price = LeadingPrice(text))
        FUZZ_CHECK(std::isfinite(*price));
    if (const std::optional<PriceText> whole = WholePrice(text)) {
        FUZZ_CHECK(std::isfinite(whole->value));
        FUZZ_CHECK(whole->sign.size() <= text.size());
    }
    (void)DecimalMarkOf(SplitText(text, "\n"));
    return 0;
}
