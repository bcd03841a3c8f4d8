#pragma once
// The one reader of the event tables of the capture tests: events written as
// words separated by blanks, "word*n" for n of the same word.
#include <sstream>
#include <string>
#include <vector>

namespace corvix::test {

struct EventWord {
    std::string word;
    int times = 1;
};

inline std::vector<EventWord> EventWords(const std::string &events)
{
    std::vector<EventWord> words;
    std::istringstream in(events);
    for (std::string word; in >> word;) {
        const size_t star = word.find('*');
        const int times = star == std::string::npos ? 1 : std::stoi(word.substr(star + 1));
        word.resize(std::min(star, word.size()));
        words.push_back({word, times});
    }
    return words;
}

} // namespace corvix::test
