// The rule index reader: the titles of orlist.txt.
#include "FuzzSupport.h"
#include "rules/RuleIndex.h"
#include "support/ListText.h"
#include "support/TextUtils.h"

using namespace corvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text = fuzz::Bytes(data, size);
    for (const std::string &title : RuleIndexTitles(text)) {
        FUZZ_CHECK(!title.empty());
        FUZZ_CHECK(FindText(title, "\r\n") == kNotFound);
    }
    // A deleted line, and one put back where it was.
    const long long line = size > 0 ? static_cast<unsigned char>(text[0]) % 8 : 0;
    (void)RemoveLine(text, line);
    (void)InsertLine(text, line, "T");
    return 0;
}
