// The marker search: a rule's markers, in the form written and with quoted
// attribute values, searched in a lowered page source.
#include "FuzzSupport.h"
#include "capture/MarkerSearch.h"
#include "support/TextUtils.h"

using namespace corvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<std::string> p = fuzz::Pieces(fuzz::Bytes(data, size), 3);
    const std::string lowered = ToLowerText(p[0]);
    const MarkerQuery query = MarkerForms(p[1], p[2]);
    FUZZ_CHECK(!query.forms.empty() && query.forms.size() <= 2);
    FUZZ_CHECK(query.forms[0].first == p[1] && query.forms[0].second == p[2]);
    // What is found lies between a left and a right marker of the page.
    const std::string found = TextBetweenMarkers(lowered, query);
    FUZZ_CHECK(found.empty() || lowered.find(found) != std::string::npos);
    const std::string between = TextBetween(p[0], p[1], p[2]);
    FUZZ_CHECK(between.empty() || p[0].find(between) != std::string::npos);
    (void)StripPriceText(between.empty() ? p[0] : between);
    return 0;
}
