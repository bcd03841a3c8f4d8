// The import text reader: a file's bytes decoded, its lines counted and made
// products, and the products merged into url.ini.
#include "FuzzSupport.h"
#include "products/ImportText.h"
#include "products/LinkFile.h"
#include "support/TextUtils.h"

using namespace corvix;

namespace {

// A shop title that an INI key line holds and that is not the title key.
bool PlainShop(std::string_view shop)
{
    return fuzz::PlainKey(shop) && shop.find_first_of(" \t") == std::string_view::npos && ToLowerText(shop) != "title";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<std::string> p = fuzz::Pieces(fuzz::Bytes(data, size), 4);
    const ImportFile file = DecodeImportFile(p[0]);
    const std::string text = NormaliseSeparators(file.text);
    (void)PrepareClipboardText(p[0]);
    const int ruleColumns = p[3].empty() ? 0 : static_cast<unsigned char>(p[3][0]) % 5;
    const ImportCount count = CountImport(text, ruleColumns);
    const std::vector<ImportedProduct> products = ImportedProducts(text);
    FUZZ_CHECK(static_cast<size_t>(count.rows) == products.size());

    LinkFile links = LinkFile::Parse(p[1]);
    const std::vector<std::string> shops = SplitText(p[2], ",", 6);
    const ImportMode mode = ruleColumns % 2 ? ImportMode::Append : ImportMode::Replace;
    (void)ProductsDroppedByReplace(links, products);
    MergeImport(links, products, shops, mode);
    FUZZ_CHECK(LinkFile::Parse(links.Text()).Text() == links.Text());
    if (mode == ImportMode::Replace) {
        FUZZ_CHECK(static_cast<size_t>(links.ProductCount()) == products.size());
        bool plain = true;
        for (const std::string &shop : shops)
            plain = plain && PlainShop(shop);
        for (size_t i = 0; plain && i < products.size(); ++i)
            FUZZ_CHECK(links.ProductValue(static_cast<int>(i), "title") == fuzz::Trimmed(SingleLineText(products[i].title)));
    }
    return 0;
}
