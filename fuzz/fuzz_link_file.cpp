// The url.ini reader: sections, keys and product rows, a rewrite that gives
// back every byte it did not change, and a link written and read back.
#include "FuzzSupport.h"
#include "products/LinkFile.h"
#include "support/TextUtils.h"

using namespace corvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<std::string> p = fuzz::Pieces(fuzz::Bytes(data, size), 3);
    LinkFile file = LinkFile::Parse(p[0]);
    FUZZ_CHECK(file.Text() == p[0]);
    const int rows = file.ProductCount();
    for (int row = 0; row < rows && row < 16; ++row)
        (void)file.ProductValue(row, "title");

    const int row = p[0].empty() ? 0 : static_cast<unsigned char>(p[0][0]) % 6;
    const std::string &key = p[1];
    const std::string value = p[2];
    if (!fuzz::PlainKey(key))
        return 0;
    file.SetProductValue(row, key, value);
    const LinkFile read = LinkFile::Parse(file.Text());
    FUZZ_CHECK(read.ProductCount() == file.ProductCount());
    FUZZ_CHECK(read.ProductValue(row, key) == fuzz::Trimmed(SingleLineText(value)));
    FUZZ_CHECK(read.Text() == file.Text());

    LinkFile removed = read;
    removed.RemoveProductSection(row);
    FUZZ_CHECK(removed.ProductCount() == read.ProductCount() - 1);
    return 0;
}
