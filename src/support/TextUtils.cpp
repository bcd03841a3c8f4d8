#include "support/TextUtils.h"

#include "support/Gbk.h"
#include "support/GbkBytes.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace corvix {
namespace {

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// Answers "does byte i start a character?" for positions that only move forward.
// Character boundaries are always counted from the first byte of the text. A byte
// that is no lead byte always ends a character (alone, or as the second byte of
// a pair), so the answer only needs the run of lead bytes right before i: those
// pair up from its start. The run is never walked further back than the last answer, which
// keeps a whole search linear however many candidates it checks.
class BoundaryTracker {
public:
    explicit BoundaryTracker(std::string_view text) : text_(text) {}

    bool IsBoundary(size_t i)
    {
        size_t q = i;
        while (q > known_ && IsLeadByte(text_[q - 1]))
            --q;
        const bool boundary = ((i - q) & 1U) == 0;
        known_ = boundary ? i : i - 1;
        return boundary;
    }

private:
    std::string_view text_;
    size_t known_ = 0; // a position known to start a character
};

// Finds `what` in a text at character boundaries, left to right. Candidates come
// from string_view::find (memchr/memcmp), so the character rule costs only a look
// at the bytes just before each candidate.
class GbkSearcher {
public:
    GbkSearcher(std::string_view text, std::string_view what, bool ignoreCase)
        : text_(text), what_(what), ignoreCase_(ignoreCase), tracker_(text)
    {
        if (ignoreCase_)
            PrepareFolding();
    }

    // 0-based index of the first match at or after `from`, or npos.
    size_t Next(size_t from)
    {
        const size_t n = text_.size();
        while (from < n) {
            const size_t c = ignoreCase_ ? FindFolded(from) : text_.find(what_, from);
            if (c == std::string_view::npos)
                return c;
            if (tracker_.IsBoundary(c)) {
                // A lone high byte at the very end is no character: the scan ends there.
                if (c + 1 == n && IsLeadByte(text_[c]))
                    return std::string_view::npos;
                return c;
            }
            from = c + 1;
        }
        return std::string_view::npos;
    }

private:
    // Only single-byte characters of `what` fold; a second byte that happens to
    // be a letter (GBK allows 0x41-0x5A there) must match exactly.
    void PrepareFolding()
    {
        foldable_.assign(what_.size(), false);
        for (size_t i = 0; i < what_.size();) {
            if (IsLeadByte(what_[i])) {
                i += 2;
                continue;
            }
            const unsigned char c = AsciiLower(Byte(what_[i]));
            foldable_[i] = c >= 'a' && c <= 'z';
            ++i;
        }
    }

    bool MatchesFoldedAt(size_t c) const
    {
        for (size_t k = 0; k < what_.size(); ++k) {
            const unsigned char a = Byte(text_[c + k]);
            const unsigned char b = Byte(what_[k]);
            if (a == b)
                continue;
            if (!foldable_[k] || AsciiLower(a) != AsciiLower(b))
                return false;
        }
        return true;
    }

    size_t FindFolded(size_t from) const
    {
        const size_t n = text_.size();
        const size_t m = what_.size();
        if (m > n)
            return std::string_view::npos;
        const unsigned char first = Byte(what_[0]);
        for (size_t c = from; c + m <= n; ++c) {
            const unsigned char t = Byte(text_[c]);
            if ((t == first || (foldable_[0] && AsciiLower(t) == AsciiLower(first))) && MatchesFoldedAt(c))
                return c;
        }
        return std::string_view::npos;
    }

    std::string_view text_;
    std::string_view what_;
    bool ignoreCase_;
    std::vector<bool> foldable_;
    BoundaryTracker tracker_;
};

// 0-based index for a 1-based start; a start below 1 means the first byte.
size_t StartIndex(TextPos start) { return start < 1 ? 0 : static_cast<size_t>(start - 1); }

const std::string &PlaceholderText()
{
    static const std::string placeholder = Gbk("#引号");
    return placeholder;
}

// Reads one character for the number parsers: the full-width forms A3 A1..A3 FE
// stand for their ASCII characters and A1 A1 for a space; any other two-byte
// character reads as 0, which no parser accepts.
unsigned char NextNumberChar(std::string_view text, size_t &i)
{
    const unsigned char c = Byte(text[i]);
    if (!IsLeadByte(text[i])) {
        ++i;
        return c < 0x80 ? c : 0;
    }
    if (i + 1 >= text.size()) {
        ++i;
        return 0;
    }
    const unsigned char d = Byte(text[i + 1]);
    i += 2;
    if (c == 0xA3 && d >= 0xA1 && d <= 0xFE)
        return static_cast<unsigned char>(d - 0x80);
    if (c == 0xA1 && d == 0xA1)
        return ' ';
    return 0;
}

// The leading number of a text in plain ASCII: blanks skipped, then sign, digits
// and, when allowed, a fraction and an exponent. Parsing stops at the first
// character that cannot continue the number.
std::string LeadingNumberText(std::string_view text, bool withFraction)
{
    std::string out;
    size_t i = 0;
    unsigned char c = 0;
    auto peek = [&](size_t &next) -> unsigned char {
        next = i;
        return next < text.size() ? NextNumberChar(text, next) : 0;
    };
    size_t next = 0;
    // Blanks before the number.
    for (;;) {
        c = peek(next);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f')
            i = next;
        else
            break;
    }
    if (c == '+' || c == '-') {
        out.push_back(static_cast<char>(c));
        i = next;
        c = peek(next);
    }
    bool digits = false;
    while (c >= '0' && c <= '9') {
        out.push_back(static_cast<char>(c));
        digits = true;
        i = next;
        c = peek(next);
    }
    if (!withFraction)
        return digits ? out : std::string();
    if (c == '.') {
        std::string fraction = ".";
        size_t j = next;
        size_t k = j;
        unsigned char d = j < text.size() ? NextNumberChar(text, k) : 0;
        while (d >= '0' && d <= '9') {
            fraction.push_back(static_cast<char>(d));
            j = k;
            d = j < text.size() ? NextNumberChar(text, k) : 0;
        }
        if (digits || fraction.size() > 1) {
            out += fraction;
            digits = true;
            i = j;
            c = peek(next);
        }
    }
    if (!digits)
        return {};
    if (c == 'e' || c == 'E') {
        std::string exponent = "e";
        size_t j = next;
        size_t k = j;
        unsigned char d = j < text.size() ? NextNumberChar(text, k) : 0;
        if (d == '+' || d == '-') {
            exponent.push_back(static_cast<char>(d));
            j = k;
            d = j < text.size() ? NextNumberChar(text, k) : 0;
        }
        bool expDigits = false;
        while (d >= '0' && d <= '9') {
            exponent.push_back(static_cast<char>(d));
            expDigits = true;
            j = k;
            d = j < text.size() ? NextNumberChar(text, k) : 0;
        }
        if (expDigits)
            out += exponent;
    }
    return out;
}

} // namespace

TextPos TextLength(std::string_view text) { return static_cast<TextPos>(text.size()); }

int CompareTexts(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n); // memcmp compares unsigned bytes
    if (c != 0)
        return c < 0 ? -1 : 1;
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

TextPos FindText(std::string_view text, std::string_view what, TextPos start, bool ignoreCase)
{
    const size_t from = StartIndex(start);
    if (from >= text.size())
        return kNotFound;
    if (what.empty())
        return 1;
    GbkSearcher searcher(text, what, ignoreCase);
    const size_t c = searcher.Next(from);
    return c == std::string_view::npos ? kNotFound : static_cast<TextPos>(c) + 1;
}

TextPos FindTextBackward(std::string_view text, std::string_view what, TextPos start, bool ignoreCase)
{
    if (start <= 1)
        return kNotFound;
    // Matches must end within the first `limit` bytes.
    const size_t limit = std::min(text.size(), static_cast<size_t>(start - 1));
    if (what.empty() || what.size() > limit)
        return kNotFound;
    GbkSearcher searcher(text, what, ignoreCase);
    TextPos last = kNotFound;
    for (size_t c = searcher.Next(0); c != std::string_view::npos && c + what.size() <= limit;
         c = searcher.Next(c + 1))
        last = static_cast<TextPos>(c) + 1;
    return last;
}

std::string MidText(std::string_view text, TextPos start, TextPos length)
{
    if (start < 1 || start > TextLength(text) || length <= 0)
        return {};
    return std::string(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
}

std::string LeftText(std::string_view text, TextPos n)
{
    if (n <= 0)
        return {};
    return std::string(text.substr(0, static_cast<size_t>(n)));
}

std::string RightText(std::string_view text, TextPos n)
{
    if (n <= 0)
        return {};
    const size_t k = std::min(text.size(), static_cast<size_t>(n));
    return std::string(text.substr(text.size() - k));
}

std::string ReplaceText(std::string_view text, std::string_view what, std::string_view replacement, TextPos start,
                        TextPos count, bool caseSensitive)
{
    const size_t from0 = StartIndex(start);
    if (text.empty() || what.empty() || count == 0 || from0 >= text.size())
        return std::string(text);
    GbkSearcher searcher(text, what, !caseSensitive);
    std::string out;
    size_t copied = 0;
    size_t from = from0;
    TextPos done = 0;
    while (count < 0 || done < count) {
        const size_t c = searcher.Next(from);
        if (c == std::string_view::npos)
            break;
        if (done == 0)
            out.reserve(text.size());
        out.append(text.data() + copied, c - copied);
        out.append(replacement);
        copied = from = c + what.size();
        ++done;
    }
    if (done == 0)
        return std::string(text);
    out.append(text.data() + copied, text.size() - copied);
    return out;
}

std::vector<std::string> SplitText(std::string_view text, std::string_view delimiter, TextPos maxPieces)
{
    std::vector<std::string> pieces;
    if (text.empty() || maxPieces == 0)
        return pieces;
    if (delimiter.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    GbkSearcher searcher(text, delimiter, false);
    size_t from = 0;
    for (;;) {
        const size_t c = searcher.Next(from);
        if (c == std::string_view::npos) {
            pieces.emplace_back(text.substr(from));
            break;
        }
        pieces.emplace_back(text.substr(from, c - from));
        from = c + delimiter.size();
        if (maxPieces > 0 && static_cast<TextPos>(pieces.size()) >= maxPieces)
            return pieces;
    }
    if (pieces.back().empty())
        pieces.pop_back();
    return pieces;
}

std::string TrimText(std::string_view text)
{
    const size_t n = text.size();
    size_t first = std::string_view::npos;
    size_t end = 0;
    for (size_t i = 0; i < n;) {
        const size_t len = CharBytesAt(text, i);
        const bool blank =
            text[i] == ' ' || (len == 2 && Byte(text[i]) == 0xA1 && Byte(text[i + 1]) == 0xA1);
        if (!blank) {
            if (first == std::string_view::npos)
                first = i;
            end = i + len;
        }
        i += len;
    }
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, end - first));
}

std::string ToLowerText(std::string_view text)
{
    const size_t n = text.size();
    std::string out(n, '\0');
    const auto *in = reinterpret_cast<const unsigned char *>(text.data());
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    // Eight ASCII bytes at a time where a word holds no high byte (lowered
    // together: every byte is below 0x80, so no sum carries into the next
    // byte); elsewhere character by character, copying two-byte characters
    // whole so that a second byte in 'A'..'Z' stays as it is.
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, in + i, 8);
            if ((word & kHigh) == 0) {
                const uint64_t atLeastA = word + kOnes * (0x80 - 'A');
                const uint64_t beyondZ = word + kOnes * (0x80 - 'Z' - 1);
                word |= ((atLeastA & ~beyondZ) & kHigh) >> 2;
                std::memcpy(o + i, &word, 8);
                i += 8;
                continue;
            }
        }
        const unsigned char c = in[i];
        if (IsLeadByte(static_cast<char>(c))) {
            o[i] = c;
            if (i + 1 < n)
                o[i + 1] = in[i + 1];
            i += 2;
        } else {
            o[i] = AsciiLower(c);
            ++i;
        }
    }
    return out;
}

std::string BlankText(TextPos n)
{
    if (n < 1)
        return {};
    return std::string(static_cast<size_t>(n), ' ');
}

long long TextToInteger(std::string_view text)
{
    const std::string number = LeadingNumberText(text, false);
    if (number.empty())
        return 0;
    const bool negative = number[0] == '-';
    const size_t digitsAt = (number[0] == '-' || number[0] == '+') ? 1 : 0;
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(number.data() + digitsAt, number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range)
        return negative ? LLONG_MIN : LLONG_MAX;
    return negative ? -value : value;
}

double TextToNumber(std::string_view text)
{
    const std::string number = LeadingNumberText(text, true);
    if (number.empty())
        return 0.0;
    const size_t at = number[0] == '+' ? 1 : 0;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(number.data() + at, number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Too large gives infinity, too small zero, with the number's sign.
        const bool negative = number[0] == '-';
        const size_t e = number.find('e');
        const bool tiny = e != std::string::npos && number.find('-', e) != std::string::npos;
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    return value;
}

long long TruncateToInteger(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9.2233720368547758e18)
        return LLONG_MAX;
    if (value <= -9.2233720368547758e18)
        return LLONG_MIN;
    return static_cast<long long>(value); // conversion rounds toward zero
}

std::string QuotePlaceholder(std::string_view text) { return ReplaceText(text, PlaceholderText(), "\""); }

std::string TextBetween(std::string_view source, std::string_view left, std::string_view right, TextPos start,
                        bool ignoreCase)
{
    // Markers rarely hold the placeholder; only then are they copied.
    std::string leftQuoted;
    std::string rightQuoted;
    if (FindText(left, PlaceholderText()) != kNotFound) {
        leftQuoted = QuotePlaceholder(left);
        left = leftQuoted;
    }
    if (FindText(right, PlaceholderText()) != kNotFound) {
        rightQuoted = QuotePlaceholder(right);
        right = rightQuoted;
    }
    const TextPos l = FindText(source, left, start, ignoreCase);
    const TextPos p = l == kNotFound ? kNotFound : l + TextLength(left);
    const TextPos r = FindText(source, right, p, ignoreCase);
    if (l == kNotFound || r == kNotFound)
        return {};
    return MidText(source, p, r - p);
}

int CountOccurrences(std::string_view text, std::string_view what, bool caseSensitive)
{
    if (text.empty() || what.empty())
        return 0;
    GbkSearcher searcher(text, what, !caseSensitive);
    int count = 0;
    for (size_t c = searcher.Next(0); c != std::string_view::npos; c = searcher.Next(c + what.size()))
        ++count;
    return count;
}

namespace {

// Removal of markup from a cleaned price text, equal in result to the rule
//   repeat (number of '<') times: T = TextBetween(text, "<", ">");
//                                 delete every "<" + T + ">" from text
// but without rescanning the whole text once per tag.
//
// How that rule behaves: call every '<' at a character boundary an opener and
// every '>' a closer. The closers cut the text into blocks; the tag of an opener
// is the text from it to the closer that ends its block. A pass takes the tag of
// the first opener and deletes every opener whose tag is the same string: no two
// such occurrences overlap (two openers in one block have tags of different
// length), and every occurrence is such an opener. Deleting a tag removes the
// end of its block together with the closer, so what is left of that block joins
// the next one: openers left in it get longer tags, and new tags can form that
// way ("<<b>a>" leaves "a>"). Passes go on until the first opener has no closer,
// after which every further pass finds nothing to delete; each pass deletes the
// first opener, so the pass count never runs out first.
//
// Here each opener keeps a hash of its current tag, a table maps hashes to
// openers, and a pass deletes the openers listed under the first opener's hash,
// right to left so that each merge sees the final state of the block after it.
// Only the openers left in a block that lost its end are re-hashed.
class TagRemover {
public:
    explicit TagRemover(std::string_view text) : text_(text) {}

    std::string Run()
    {
        Parse();
        HashBlocks();
        for (int head = openerHead_; head != -1 && openers_[head].block != -1; head = openerHead_)
            RunPass(openers_[head].tag);
        return Survivors();
    }

private:
    static constexpr uint64_t kMod = (1ULL << 61) - 1;
    static constexpr uint64_t kBase1 = 1000003;
    static constexpr uint64_t kBase2 = 998244353;

    struct Hash {
        uint64_t h1 = 0, h2 = 0;
        size_t len = 0;
        bool operator==(const Hash &o) const { return h1 == o.h1 && h2 == o.h2 && len == o.len; }
    };
    struct HashOfHash {
        size_t operator()(const Hash &h) const { return static_cast<size_t>(h.h1 ^ (h.h2 * 0x9E3779B97F4A7C15ULL) ^ h.len); }
    };
    struct Opener {
        size_t pos;
        int block = -1; // closer that ends its block, -1 when none follows
        Hash tag;
        int prev = -1, next = -1;
        bool alive = true;
        int seenInPass = -1;
    };
    struct Closer {
        size_t pos;
        Hash block; // the whole current block, closer included
        int prev = -1, next = -1;
    };

    // a * b mod 2^61 - 1 for a, b below the modulus, in 64-bit arithmetic only
    // (no compiler has a portable 128-bit type): the product is split into
    // 32-bit halves, and 2^64 = 2^3, 2^61 = 1 modulo 2^61 - 1.
    static uint64_t MulMod(uint64_t a, uint64_t b)
    {
        const uint64_t aLo = a & 0xFFFFFFFFULL, aHi = a >> 32, bLo = b & 0xFFFFFFFFULL, bHi = b >> 32;
        const uint64_t low = aLo * bLo, mid = aLo * bHi + aHi * bLo, high = aHi * bHi;
        uint64_t r = (low & kMod) + (low >> 61) + (high << 3) + (mid >> 29) + ((mid << 35) >> 3) + 1;
        r = (r & kMod) + (r >> 61);
        r = (r & kMod) + (r >> 61);
        return r - 1;
    }
    static uint64_t AddMod(uint64_t a, uint64_t b) { const uint64_t r = a + b; return r >= kMod ? r - kMod : r; }
    static uint64_t SubMod(uint64_t a, uint64_t b) { return a >= b ? a - b : a + kMod - b; }
    static uint64_t PowMod(uint64_t base, size_t e)
    {
        uint64_t r = 1;
        while (e) {
            if (e & 1U)
                r = MulMod(r, base);
            base = MulMod(base, base);
            e >>= 1U;
        }
        return r;
    }
    // Hashes are sum(byte[k] * B^k): a + b = h(a) + B^|a| * h(b).
    static Hash Concat(const Hash &a, const Hash &b)
    {
        return {AddMod(a.h1, MulMod(PowMod(kBase1, a.len), b.h1)),
                AddMod(a.h2, MulMod(PowMod(kBase2, a.len), b.h2)), a.len + b.len};
    }
    // whole = prefix + suffix; gives prefix.
    static Hash WithoutSuffix(const Hash &whole, const Hash &suffix)
    {
        const size_t len = whole.len - suffix.len;
        return {SubMod(whole.h1, MulMod(PowMod(kBase1, len), suffix.h1)),
                SubMod(whole.h2, MulMod(PowMod(kBase2, len), suffix.h2)), len};
    }

    void Parse()
    {
        const size_t n = text_.size();
        for (size_t i = 0; i < n;) {
            const char c = text_[i];
            if (IsLeadByte(c)) {
                i += 2;
                continue;
            }
            if (c == '<')
                openers_.push_back(Opener{i, -1, {}, -1, -1, true, -1});
            else if (c == '>')
                closers_.push_back({i, {}});
            ++i;
        }
        for (size_t k = 0; k < openers_.size(); ++k) {
            openers_[k].prev = static_cast<int>(k) - 1;
            openers_[k].next = k + 1 < openers_.size() ? static_cast<int>(k) + 1 : -1;
        }
        for (size_t k = 0; k < closers_.size(); ++k) {
            closers_[k].prev = static_cast<int>(k) - 1;
            closers_[k].next = k + 1 < closers_.size() ? static_cast<int>(k) + 1 : -1;
        }
        openerHead_ = openers_.empty() ? -1 : 0;
    }

    // One backward sweep: the hash of text[i..closer] grows by one byte per step.
    void HashBlocks()
    {
        int opener = static_cast<int>(openers_.size()) - 1;
        // Openers after the last closer have no tag.
        const size_t lastCloser = closers_.empty() ? 0 : closers_.back().pos;
        while (opener >= 0 && (closers_.empty() || openers_[opener].pos > lastCloser))
            --opener;
        for (int k = static_cast<int>(closers_.size()) - 1; k >= 0; --k) {
            const size_t end = closers_[k].pos;
            const size_t begin = k > 0 ? closers_[k - 1].pos + 1 : 0;
            uint64_t h1 = 0, h2 = 0;
            for (size_t i = end + 1; i-- > begin;) {
                const uint64_t v = Byte(text_[i]) + 1ULL;
                h1 = AddMod(v, MulMod(kBase1, h1));
                h2 = AddMod(v, MulMod(kBase2, h2));
                if (opener >= 0 && openers_[opener].pos == i) {
                    Opener &o = openers_[opener];
                    o.block = k;
                    o.tag = {h1, h2, end - i + 1};
                    byTag_[o.tag].push_back(opener);
                    --opener;
                }
            }
            closers_[k].block = {h1, h2, end - begin + 1};
        }
    }

    void Unlink(int id)
    {
        Opener &o = openers_[id];
        o.alive = false;
        if (o.prev != -1)
            openers_[o.prev].next = o.next;
        else
            openerHead_ = o.next;
        if (o.next != -1)
            openers_[o.next].prev = o.prev;
    }

    void RunPass(Hash tag)
    {
        auto it = byTag_.find(tag);
        std::vector<int> listed = std::move(it->second);
        byTag_.erase(it);
        std::vector<int> matches;
        for (int id : listed) {
            Opener &o = openers_[id];
            if (o.alive && o.block != -1 && o.tag == tag && o.seenInPass != pass_) {
                o.seenInPass = pass_;
                matches.push_back(id);
            }
        }
        ++pass_;
        std::sort(matches.begin(), matches.end(), std::greater<int>());
        for (int id : matches)
            DeleteTag(id);
    }

    void DeleteTag(int id)
    {
        const int closer = openers_[id].block;
        const Hash tag = openers_[id].tag;
        removed_.emplace_back(openers_[id].pos, closers_[closer].pos);

        // Openers inside the deleted tag go with it.
        for (int k = id; k != -1 && openers_[k].block == closer;) {
            const int next = openers_[k].next;
            Unlink(k);
            k = next;
        }
        std::vector<int> left; // openers before it in the same block
        for (int k = openers_[id].prev; k != -1 && openers_[k].block == closer; k = openers_[k].prev)
            left.push_back(k);

        const Hash prefix = WithoutSuffix(closers_[closer].block, tag);
        Closer &gone = closers_[closer];
        if (gone.prev != -1)
            closers_[gone.prev].next = gone.next;
        if (gone.next != -1)
            closers_[gone.next].prev = gone.prev;
        const int nextCloser = gone.next;
        if (nextCloser == -1) {
            for (int k : left)
                openers_[k].block = -1;
            return;
        }
        const Hash nextBlock = closers_[nextCloser].block;
        closers_[nextCloser].block = Concat(prefix, nextBlock);
        for (int k : left) {
            Opener &o = openers_[k];
            o.tag = Concat(WithoutSuffix(o.tag, tag), nextBlock);
            o.block = nextCloser;
            byTag_[o.tag].push_back(k);
        }
    }

    std::string Survivors()
    {
        if (removed_.empty())
            return std::string(text_);
        std::sort(removed_.begin(), removed_.end());
        std::string out;
        out.reserve(text_.size());
        size_t copied = 0;
        for (const auto &[from, to] : removed_) {
            if (from > copied)
                out.append(text_.data() + copied, from - copied);
            copied = std::max(copied, to + 1);
        }
        if (copied < text_.size())
            out.append(text_.data() + copied, text_.size() - copied);
        return out;
    }

    std::string_view text_;
    std::vector<Opener> openers_;
    std::vector<Closer> closers_;
    int openerHead_ = -1;
    int pass_ = 0;
    std::unordered_map<Hash, std::vector<int>, HashOfHash> byTag_;
    std::vector<std::pair<size_t, size_t>> removed_;
};

} // namespace

std::string StripPriceText(std::string_view text)
{
    static const std::string yen = Gbk("￥");
    // Deleted one after the other, as each deletion can join the text of the next
    // ("&am p;" loses its space and then counts as "&amp;").
    const std::string_view deleted[] = {yen, "\t", " ", "&quot;", "&amp;", "&lt;", "&gt;", "&nbsp;"};
    std::string cleaned(text);
    for (std::string_view what : deleted)
        cleaned = ReplaceText(cleaned, what, {}, 1, kAll, true);
    return TagRemover(cleaned).Run();
}

} // namespace corvix
