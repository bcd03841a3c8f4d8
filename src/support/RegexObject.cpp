#include "support/RegexObject.h"

#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <QString>

#include <vector>

namespace corvix {
namespace {

icu::UnicodeString ToUnicode(std::string_view gbk)
{
    const QString text = FromGbk(gbk);
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), static_cast<int32_t>(text.size()));
}

std::string ToGbkText(const icu::UnicodeString &text, int32_t start, int32_t end)
{
    if (end <= start)
        return {};
    return ToGbk(QString(reinterpret_cast<const QChar *>(text.getBuffer() + start), end - start));
}

// The scripting engine's class escapes are ASCII-only ("\s" is [ \f\n\r\t\v],
// "\d" is [0-9], "\w" is [A-Za-z0-9_]) where ICU's are Unicode-wide: without
// this, a line of full-width blanks would count as blank, and "\d" would take
// full-width digits. "\v" is the vertical tab there, a class in ICU. The sets
// are written nested, which ICU also accepts inside a bracket expression.
icu::UnicodeString TranslateClassEscapes(const icu::UnicodeString &pattern)
{
    icu::UnicodeString out;
    const int32_t n = pattern.length();
    for (int32_t i = 0; i < n; ++i) {
        const UChar c = pattern.charAt(i);
        if (c != u'\\' || i + 1 >= n) {
            out.append(c);
            continue;
        }
        const UChar e = pattern.charAt(i + 1);
        const char16_t *replacement = nullptr;
        switch (e) {
        case u's': replacement = u"[ \\t\\n\\x0B\\f\\r]"; break;
        case u'S': replacement = u"[^ \\t\\n\\x0B\\f\\r]"; break;
        case u'd': replacement = u"[0-9]"; break;
        case u'D': replacement = u"[^0-9]"; break;
        case u'w': replacement = u"[A-Za-z0-9_]"; break;
        case u'W': replacement = u"[^A-Za-z0-9_]"; break;
        case u'v': replacement = u"\\x0B"; break;
        default: break;
        }
        if (replacement) {
            out.append(icu::UnicodeString(replacement));
        } else {
            out.append(c);
            out.append(e);
        }
        ++i;
    }
    return out;
}

} // namespace

struct RegexObject::State {
    bool executed = false;
    icu::UnicodeString subject;
    // Per match: the span of the match, then of each group (-1 when unset).
    std::vector<std::vector<std::pair<int32_t, int32_t>>> matches;
};

RegexObject::RegexObject() : state_(std::make_unique<State>()) {}
RegexObject::~RegexObject() = default;

bool RegexObject::ExecutePattern(std::string_view pattern, std::string_view subject, bool caseSensitive,
                                 bool multiLine, bool global, bool quotePlaceholder)
{
    *state_ = State{};
    const std::string usedPattern = quotePlaceholder ? QuotePlaceholder(pattern) : std::string(pattern);
    uint32_t flags = 0;
    if (!caseSensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    if (multiLine)
        flags |= UREGEX_MULTILINE;
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(TranslateClassEscapes(ToUnicode(usedPattern)), flags, parseError, status));
    if (U_FAILURE(status) || !compiled)
        return false;
    state_->subject = ToUnicode(subject);
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(state_->subject, status));
    if (U_FAILURE(status) || !matcher)
        return false;
    const int32_t groups = matcher->groupCount();
    while (matcher->find(status) && U_SUCCESS(status)) {
        std::vector<std::pair<int32_t, int32_t>> spans;
        for (int32_t g = 0; g <= groups; ++g)
            spans.emplace_back(matcher->start(g, status), matcher->end(g, status));
        state_->matches.push_back(std::move(spans));
        if (!global)
            break;
    }
    if (U_FAILURE(status)) {
        *state_ = State{};
        return false;
    }
    state_->executed = true;
    return true;
}

std::string RegexObject::ReplaceMatches(std::string_view replacement) const
{
    if (!state_->executed)
        return {};
    const icu::UnicodeString &subject = state_->subject;
    const icu::UnicodeString with = ToUnicode(replacement);
    icu::UnicodeString out;
    int32_t copied = 0;
    for (const auto &spans : state_->matches) {
        const auto [start, end] = spans[0];
        out.append(subject, copied, start - copied);
        const int32_t groups = static_cast<int32_t>(spans.size()) - 1;
        for (int32_t i = 0; i < with.length(); ++i) {
            const UChar c = with.charAt(i);
            if (c != u'$' || i + 1 >= with.length()) {
                out.append(c);
                continue;
            }
            const UChar next = with.charAt(i + 1);
            if (next == u'$') {
                out.append(u'$');
                ++i;
            } else if (next == u'&') {
                out.append(subject, start, end - start);
                ++i;
            } else if (next == u'`') {
                out.append(subject, 0, start);
                ++i;
            } else if (next == u'\'') {
                out.append(subject, end, subject.length() - end);
                ++i;
            } else if (next >= u'0' && next <= u'9') {
                // Two digits when that group exists, else one; "$0" and absent groups stay literal.
                int32_t group = next - u'0';
                int32_t used = 1;
                if (i + 2 < with.length()) {
                    const UChar d2 = with.charAt(i + 2);
                    if (d2 >= u'0' && d2 <= u'9' && group * 10 + (d2 - u'0') <= groups && group * 10 + (d2 - u'0') > 0) {
                        group = group * 10 + (d2 - u'0');
                        used = 2;
                    }
                }
                if (group < 1 || group > groups) {
                    out.append(c);
                    continue;
                }
                const auto [gs, ge] = spans[static_cast<size_t>(group)];
                if (gs >= 0)
                    out.append(subject, gs, ge - gs);
                i += used;
            } else {
                out.append(c);
            }
        }
        copied = end;
    }
    out.append(subject, copied, subject.length() - copied);
    return ToGbkText(out, 0, out.length());
}

int RegexObject::MatchCount() const { return static_cast<int>(state_->matches.size()); }

std::string RegexObject::MatchText(int n) const
{
    if (n < 1 || n > MatchCount())
        return {};
    const auto [start, end] = state_->matches[static_cast<size_t>(n - 1)][0];
    return ToGbkText(state_->subject, start, end);
}

} // namespace corvix
