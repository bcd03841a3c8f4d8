#pragma once
// Line lists of the data files (the rule index, record files): CR LF separated
// GBK lines without a line break after the last one.
#include <string>
#include <string_view>

namespace corvix {

// Without one leading and one trailing "\r\n", and without empty or blank-only
// lines (a line feed followed by blanks up to a carriage return goes).
std::string CleanListText(std::string_view text);

// The text without its line `line` (1-based); unchanged when there is no such
// line. The pieces are joined with "\r\n" and nothing after the last.
std::string RemoveLine(std::string_view text, long long line);
// Undoes RemoveLine: `lineText` becomes line `line` (1-based) of the text, or
// its last line when the text has fewer lines.
std::string InsertLine(std::string_view text, long long line, std::string_view lineText);

} // namespace corvix
