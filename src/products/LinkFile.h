#pragma once
// The link file "url.ini" in DbDir: one section "A" + row per product row, the
// key "title" for the product title and one key per rule title holding the link
// of that site. A standard INI file in GBK with CR LF lines and key=value.
//
// Section and key names match without regard to the case of ASCII letters; the
// second byte of a two-byte character is always compared exactly, and a "]" in
// that position never ends a section name. Lines the program does not touch
// (comments, foreign sections, garbage) survive a rewrite unchanged.
#include "app/ProgramState.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvix {

class LinkFile {
public:
    // A file that cannot be read gives an empty LinkFile.
    static LinkFile Load(const std::filesystem::path &path);
    static LinkFile Parse(std::string_view text);

    // The whole file as it would be written: CR LF after every line.
    std::string Text() const;
    // Atomic replace; false when the file could not be written.
    bool Save(const std::filesystem::path &path) const;

    // The value of key in the first section of that name (later duplicates are
    // shadowed, as with the platform's profile calls); empty when absent.
    // Values are read without the blanks around them.
    std::string Value(std::string_view section, std::string_view key) const;
    bool HasValue(std::string_view section, std::string_view key) const;
    // Replaces the key's line or appends one to the section, appending the
    // section when it is missing. Line breaks in the value would split the
    // line, so they become single blanks (and go at the ends).
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    // The number of product rows the file records: one more than the highest
    // "A" + n section, so that a row index always names its own section even
    // when a section in between is missing. Values are never counted, whatever
    // they hold.
    int ProductCount() const;

    // Removes every section of product row `row` and renumbers the product
    // sections after it (A(row+1) becomes A(row), ...), so that sections and
    // grid rows match again once the row has left the grid. Other sections are
    // left as they are.
    void RemoveProductSection(int row);

    static std::string SectionName(int row) { return "A" + std::to_string(row); }
    // The product row a section name stands for ("A12", "a12"), or -1.
    static int ProductRowOf(std::string_view sectionName);

private:
    struct Line {
        std::string raw; // the line as read or written, without its line break
        bool isKey = false;
    };
    struct Section {
        bool hasHeader = false; // false only for the lines before the first section
        std::string header;     // raw header line
        std::string name;       // trimmed name between "[" and "]"
        std::vector<Line> lines;
    };

    const Section *FindSection(std::string_view name) const;
    Section *FindSection(std::string_view name);
    static const Line *FindKey(const Section &section, std::string_view key);
    static Line *FindKey(Section &section, std::string_view key);

    void RebuildIndex();

    std::vector<Section> sections_; // sections_[0] holds the lines before any header
    // Case-folded section name -> index of its first section: a run looks up one
    // key per cell, and url.ini may hold thousands of sections.
    std::unordered_map<std::string, size_t> index_;
};

// The value as one line: line breaks at its ends go, those inside become one
// blank each run. A line break would otherwise split an INI line or a record line.
std::string SingleLineText(std::string_view text);

std::filesystem::path LinkFilePath(const DataDirs &dirs);

// One key of one product row, read or written like the platform's profile
// calls: every write reads the file, changes the key and replaces the file, so
// that writers elsewhere (a link entry window closed during a run) are never
// overwritten with stale contents.
std::string ReadLink(const DataDirs &dirs, int row, std::string_view key);
// False, with the file unchanged, when the key cannot be stored or the file
// cannot be written.
bool WriteLink(const DataDirs &dirs, int row, std::string_view key, std::string_view value);

// Whether a value can be stored under that key and read back. Key names lose
// the blanks around them in an INI line, so a name made of blanks only (a rule
// may be titled " ") names no key, and a key line of one would read back under
// every other such name.
bool IsStorableKey(std::string_view key);

} // namespace corvix
