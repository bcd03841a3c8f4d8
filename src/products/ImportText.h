#pragma once
// The texts of a bulk import: one product per CR LF line, the title first and
// then one link per site column, separated by any of "，" "," "|" "<" ">" "《"
// "》". All texts are GBK.
#include "support/Result.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// Every "，", "|", "《", "》", "<", ">" and tab replaced by ",", character by
// character, so that a second byte of a two-byte character is never taken for
// a separator. A tab separates the cells of a line copied from a spreadsheet.
std::string NormaliseSeparators(std::string_view text);

// The normalised text when its first line holds at least two fields, else the
// empty text (a clipboard holding something else is not offered).
std::string PrepareClipboardText(std::string_view text);

// A text file chosen for import, as the program's text.
struct ImportFile {
    std::string text; // GBK, CR LF line ends
    // 1-based lines that held characters without a GBK form; each of those
    // characters is a "?" in text now.
    std::vector<int> linesWithoutGbk;
};

// The file's bytes are UTF-8 when they start with its byte-order mark, or when
// they are valid UTF-8 and hold any non-ASCII byte (editors on Linux and newer
// ones on Windows write that); otherwise they are GBK and kept as they are.
// Bare line feeds become CR LF.
ImportFile DecodeImportFile(std::string_view bytes);

// What a capture run will make of an import text: the rows it builds (lines
// with a title and at least one more field), and the non-empty fields after the
// first ruleColumns links of those lines, which have no rule column and are
// left out.
struct ImportCount {
    int rows = 0;
    int ignoredLinks = 0;
    // 1-based lines that hold something but give no product (a title alone).
    std::vector<int> linesWithoutProduct;
};
ImportCount CountImport(std::string_view text, int ruleColumns);

class LinkFile;

// One product of an import text: a line with a title and at least one more
// field. links[k] is the field of shop k; a blank field means the shop does not
// sell the product.
struct ImportedProduct {
    std::string title;
    std::vector<std::string> links;
    // The size written after a link as "链接 [500g]", one per link; empty when none.
    std::vector<std::string> sizes;
};
std::vector<ImportedProduct> ImportedProducts(std::string_view text);

// Replace: the import is the whole product list; products of url.ini beyond it
// go. Append: the imported products follow the ones there are, and a product
// whose title is there already has its links updated in its own row.
enum class ImportMode { Replace, Append };

// The products of url.ini whose titles the import does not name: what a
// replace would drop.
int ProductsDroppedByReplace(const LinkFile &links, const std::vector<ImportedProduct> &products);

// Writes the imported products into url.ini's text. Each product's section is
// written whole: its title and exactly the links of its line for the shops
// given, a blank field removing the shop's key. A section that held another
// product loses every key first; the same product (same title) keeps its links
// of shops that are not given.
void MergeImport(LinkFile &links, const std::vector<ImportedProduct> &products,
                 const std::vector<std::string> &shopTitles, ImportMode mode);


} // namespace corvix
