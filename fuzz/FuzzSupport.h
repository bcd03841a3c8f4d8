#pragma once
// What the fuzz targets share: the input as text, cut into pieces, and the
// check that stops the run when a reader breaks a promise of its header.
#include "products/LinkFile.h"
#include "support/GbkBytes.h"
#include "support/TextUtils.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::fuzz {

inline std::string_view Bytes(const uint8_t *data, size_t size)
{
    return {reinterpret_cast<const char *>(data), size};
}

// The input cut at every byte 01 into at least `count` pieces (missing ones
// empty): one input gives a text and the arguments to read it with.
inline std::vector<std::string> Pieces(std::string_view input, size_t count)
{
    std::vector<std::string> pieces(1);
    for (char c : input) {
        if (c == '\x01')
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    if (pieces.size() < count)
        pieces.resize(count);
    return pieces;
}

// Whether the text ends on a character boundary: its last byte is no lead
// byte standing alone, as every text converted from Unicode does.
inline bool EndsWhole(std::string_view text)
{
    size_t i = 0;
    while (i < text.size())
        i += IsLeadByte(text[i]) ? 2 : 1;
    return i == text.size();
}

// Whether every lead byte has a second byte that the code page allows there
// (40-7E, 80-FE), as in every text converted from Unicode.
inline bool WholeGbk(std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsLeadByte(text[i]))
            continue;
        if (i + 1 >= text.size())
            return false;
        const auto second = static_cast<unsigned char>(text[++i]);
        if (second < 0x40 || second == 0x7F || second == 0xFF)
            return false;
    }
    return true;
}

[[noreturn]] inline void Broken(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
    std::abort();
}

// A key (a rule or shop title) that an INI line holds unchanged: whole
// characters, nothing that ends a key or opens a section or a comment, no line
// break.
inline bool PlainKey(std::string_view key)
{
    return IsStorableKey(key) && WholeGbk(key) && FindText(key, "=") == kNotFound &&
           FindText(key, "[") == kNotFound && FindText(key, ";") == kNotFound &&
           key.find_first_of("\r\n") == std::string_view::npos;
}

// A value as an INI line gives it back: without the blanks around it.
inline std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace corvix::fuzz

#define FUZZ_CHECK(condition)                                                                          \
    do {                                                                                               \
        if (!(condition))                                                                              \
            ::corvix::fuzz::Broken(#condition, __FILE__, __LINE__);                                    \
    } while (false)
