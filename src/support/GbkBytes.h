#pragma once
// The byte rules of GBK text that byte-wise code must respect: a byte with the
// high bit set starts a two-byte character (whose second byte may be any byte,
// ASCII letters, "|", "\\", "[" and "]" included), and only single-byte ASCII
// letters have a case.
namespace corvix {

constexpr bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }
constexpr bool IsAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr char AsciiLower(char c) { return IsAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
// The one case-folding of the data layer: ASCII letters to lower case, every
// other byte as it is. Call it on single-byte characters only.
constexpr char FoldAscii(char c) { return AsciiLower(c); }

} // namespace corvix
