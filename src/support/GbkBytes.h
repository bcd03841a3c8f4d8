#pragma once
#include <cstddef>
#include <string_view>

// The byte rules of GBK text (code page 936) that byte-wise code must respect,
// in one place for the whole code base: every walk over GBK bytes decides with
// these where a character ends.
//
// A byte 0x81-0xFE starts a two-byte character whose second byte may be any
// byte, ASCII letters, "|", "\\", "[" and "]" included. Every other byte is a
// character of its own: ASCII, and also 0x80, which the code page writes for
// "€" (a euro price "89,90€|" ends its cell at the "|"), and 0xFF. Only
// single-byte ASCII letters have a case.
namespace corvix {

constexpr bool IsLeadByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}
// The bytes of the character that starts at i: 2 for a lead byte with a byte
// after it, else 1 (a lead byte cut off at the end stands alone).
constexpr size_t CharBytesAt(std::string_view text, size_t i)
{
    return IsLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
}
// Any byte outside ASCII: where a text needs more than an ASCII reading
// (conversion to Unicode), not where characters end.
constexpr bool IsHighByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }
constexpr bool IsAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool IsAsciiLetter(char c) { return IsAsciiUpper(c) || (c >= 'a' && c <= 'z'); }
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
// Blanks of markup and page text: space, tab and the line breaks.
constexpr bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
constexpr char AsciiLower(char c) { return IsAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
// The one case-folding of the data layer: ASCII letters to lower case, every
// other byte as it is. Call it on single-byte characters only.
constexpr char FoldAscii(char c) { return AsciiLower(c); }

} // namespace corvix
