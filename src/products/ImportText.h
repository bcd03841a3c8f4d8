#pragma once
// The texts of a bulk import: one product per CR LF line, the title first and
// then one link per site column, separated by any of "，" "," "|" "<" ">" "《"
// "》". All texts are GBK.
#include <string>
#include <string_view>

namespace corvix {

// Every "，", "|", "《", "》", "<" and ">" replaced by ",", character by
// character, so that a second byte of a two-byte character is never taken for
// a separator.
std::string NormaliseSeparators(std::string_view text);

// The normalised text when its first line holds at least two fields, else the
// empty text (a clipboard holding something else is not offered).
std::string PrepareClipboardText(std::string_view text);

// 0 for the empty text, else the line feeds plus one, not counting a line feed
// that ends the text.
int CountLines(std::string_view text);

} // namespace corvix
