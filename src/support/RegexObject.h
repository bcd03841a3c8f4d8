#pragma once
// Pattern matching over GBK texts with the semantics of the platform's scripting
// regular expressions: the subject and pattern cross to UTF-16 once, the matches
// come back as GBK. One object runs one pattern over one subject at a time.
#include <memory>
#include <string>
#include <string_view>

namespace corvix {

class RegexObject {
public:
    RegexObject();
    ~RegexObject();
    RegexObject(const RegexObject &) = delete;
    RegexObject &operator=(const RegexObject &) = delete;

    // Runs `pattern` over `subject` and keeps the matches. With global false at
    // most the first match is kept. With quotePlaceholder, every "#引号" in the
    // pattern stands for a double quote. False when the pattern is invalid; the
    // other operations then give 0 and empty texts. A subject without matches
    // still gives true (and MatchCount 0).
    bool ExecutePattern(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
                        bool multiLine = true, bool global = true, bool quotePlaceholder = false);
    // The subject with the kept matches replaced. "$&", "$`", "$'", "$$" and
    // "$1".."$99" in the replacement stand for the match, the text before and
    // after it, a dollar sign and a captured group.
    std::string ReplaceMatches(std::string_view replacement) const;
    int MatchCount() const;
    // The text of match n (1-based); empty outside 1..MatchCount().
    std::string MatchText(int n) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace corvix
