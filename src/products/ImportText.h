#pragma once
// The texts of a bulk import: one product per CR LF line, the title first and
// then one link per site column, separated by any of "，" "," "|" "<" ">" "《"
// "》". All texts are GBK.
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// Every "，", "|", "《", "》", "<" and ">" replaced by ",", character by
// character, so that a second byte of a two-byte character is never taken for
// a separator.
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
};
ImportCount CountImport(std::string_view text, int ruleColumns);

} // namespace corvix
