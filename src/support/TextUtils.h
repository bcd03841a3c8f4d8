#pragma once
// Text primitives over GBK byte strings. Lengths and positions count bytes and
// are 1-based; -1 means "not found". A lead byte (0x81-0xFE, GbkBytes.h) starts
// a two-byte character that searches step over as a unit (a match never starts
// on its second byte); a lone lead byte at the very end ends the scan. No
// operation throws.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

using TextPos = long long;
inline constexpr TextPos kNotFound = -1;
inline constexpr TextPos kAll = -1;
// The start of FindTextBackward when it is omitted: the whole text is searched.
inline constexpr TextPos kWholeText = std::numeric_limits<TextPos>::max();

TextPos TextLength(std::string_view text);
int CompareTexts(std::string_view a, std::string_view b);
TextPos FindText(std::string_view text, std::string_view what, TextPos start = 1, bool ignoreCase = false);
// Only occurrences within the first (start - 1) bytes count; a start of 1 or
// less leaves no room and gives -1.
TextPos FindTextBackward(std::string_view text, std::string_view what, TextPos start = kWholeText,
                         bool ignoreCase = false);
std::string MidText(std::string_view text, TextPos start, TextPos length);
std::string LeftText(std::string_view text, TextPos n);
std::string RightText(std::string_view text, TextPos n);
// count < 0 means all occurrences.
std::string ReplaceText(std::string_view text, std::string_view what, std::string_view replacement = {},
                        TextPos start = 1, TextPos count = kAll, bool caseSensitive = true);
// maxPieces < 0 means unlimited.
std::vector<std::string> SplitText(std::string_view text, std::string_view delimiter = ",", TextPos maxPieces = -1);
std::string TrimText(std::string_view text);
std::string ToLowerText(std::string_view text);
std::string BlankText(TextPos n);
long long TextToInteger(std::string_view text);
double TextToNumber(std::string_view text);
long long TruncateToInteger(double value);

// The program's own operations.
std::string TextBetween(std::string_view source, std::string_view left, std::string_view right,
                        TextPos start = 0, bool ignoreCase = false);
int CountOccurrences(std::string_view text, std::string_view what, bool caseSensitive);
std::string StripPriceText(std::string_view text);
// Every "#引号" (GBK) replaced by a double quote.
std::string QuotePlaceholder(std::string_view text);

} // namespace corvix
