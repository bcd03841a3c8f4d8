#pragma once
// The link file "url.ini" in DbDir: one section "A" + n per product row (row i
// in "A" + i as the program writes it), the key "title" for the product title
// and one key per rule title holding the link of that site. A standard INI file in GBK with CR LF lines and key=value.
//
// Section and key names match without regard to the case of ASCII letters; the
// second byte of a two-byte character is always compared exactly, and a "]" in
// that position never ends a section name. Lines the program does not touch
// (comments, foreign sections, garbage, zero bytes) survive a rewrite byte for
// byte, their line breaks (CR LF, LF, none after the last line) included; lines
// the program writes end with CR LF.
#include "support/DataDirs.h"
#include "support/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace corvix {

class LinkFile {
public:
    // The file, or why it cannot be read; a caller that takes a missing file as
    // an empty list says so with AbsentAsEmpty (a file that exists and cannot
    // be read is never an empty list).
    static Result<LinkFile> Load(const std::filesystem::path &path);
    static LinkFile Parse(std::string_view text);

    // The whole file as it would be written: every line as it was read unless
    // it was changed, new lines with CR LF after them.
    std::string Text() const;
    // Atomic replace; the old file stays when the new one could not be written.
    Result<void> Save(const std::filesystem::path &path) const;

    // The value of key in the first section of that name (later duplicates are
    // shadowed, as with the platform's profile calls); empty when absent.
    // Values are read without the blanks around them.
    std::string Value(std::string_view section, std::string_view key) const;
    bool HasValue(std::string_view section, std::string_view key) const;
    // Replaces the key's line or appends one to the section, appending the
    // section when it is missing. Line breaks in the value would split the
    // line, so they become single blanks (and go at the ends).
    void SetValue(std::string_view section, std::string_view key, std::string_view value);
    bool HasSection(std::string_view section) const;
    // Appends an empty section of that name unless one exists.
    void AddSection(std::string_view section);
    // Removes every section of that name with all its lines.
    void RemoveSection(std::string_view section);
    // Removes every line of the key from the section that Value reads.
    void RemoveValue(std::string_view section, std::string_view key);
    // The values of the keys prefix + "1", prefix + "2", ... of the section that
    // Value reads, up to the first number without a key; read in one pass over
    // the section however many keys it holds.
    std::vector<std::string> NumberedValues(std::string_view section, std::string_view prefix) const;
    // Gives the section that Value reads one key line per value, in order, in
    // one pass: its other key lines and its later sections of that name go,
    // the blank and comment lines that end it stay. The section is appended
    // when there is none.
    void ReplaceSection(std::string_view section, const std::vector<std::pair<std::string, std::string>> &values);

    // Sections by their place in the file, a name written twice included: place
    // 0 holds the lines before the first header, places 1 .. SectionCount() - 1
    // the sections in file order. Places hold until a section is added or removed.
    size_t SectionCount() const { return sections_.size(); }
    const std::string &SectionNameAt(size_t place) const { return sections_[place].name; }
    std::string ValueAt(size_t place, std::string_view key) const;
    bool HasValueAt(size_t place, std::string_view key) const;
    std::vector<std::string> NumberedValuesAt(size_t place, std::string_view prefix) const;
    void SetValueAt(size_t place, std::string_view key, std::string_view value);
    void RemoveValueAt(size_t place, std::string_view key);
    // Replaces every key prefix + a number by the keys prefix + "1", prefix +
    // "2", ... holding values, in one pass.
    void SetNumberedValuesAt(size_t place, std::string_view prefix, const std::vector<std::string> &values);
    // Appends a section of that name, even when there is one, and gives its place.
    size_t AppendSectionAt(std::string_view section);
    // Removes the sections at those places, each with all its lines.
    void RemoveSectionsAt(std::vector<size_t> places);
    // Whether name, without regard to the case of ASCII letters, is prefix
    // followed by a decimal number without leading zeros ("alert12" for
    // "alert"); that number, or -1.
    static long long NumberAfter(std::string_view name, std::string_view prefix);

    // Product rows are the "A" + n sections that exist, in the order of n (a
    // number written twice, "[A3]" and "[a3]", is one row), so that a stray
    // "[A9999999]" is one row and never millions of empty ones. A file numbered
    // A0..A(n-1), as every installation writes it, has row i in section "A" + i.
    // Values are never counted, whatever they hold.
    int ProductCount() const;
    // Row `row`'s key, read or written. Writing to a row beyond the last one
    // first numbers the product sections A0..A(n-1) in order and then appends
    // the sections up to that row, so that rows and sections still match.
    std::string ProductValue(int row, std::string_view key) const;
    void SetProductValue(int row, std::string_view key, std::string_view value);
    // Removes row's key from every section of the row; nothing else changes.
    void RemoveProductValue(int row, std::string_view key);
    // Removes every key of row's sections (comments and blank lines stay), so
    // that the section can be written whole for another product.
    void ClearProductKeys(int row);
    // An empty value means "no such key": the key's lines go, and a row beyond
    // the last one is not created for it.
    void SetOrRemoveProductValue(int row, std::string_view key, std::string_view value);

    // Removes every section of product row `row` and numbers the remaining
    // product sections A0..A(n-2) in their order, so that the file reads the
    // same to an installation that takes row i from section "A" + i. Other
    // sections are left as they are.
    void RemoveProductSection(int row);
    // Renames the product sections A0..A(n-1) in their order, as every
    // installation reads them (row i from section "A" + i).
    void NumberProductsInOrder();

    // The sections RemoveProductSection takes away, as they were written, and
    // where they stood, so that they can be put back.
    struct TakenSections {
        std::string text; // empty when the row had no section
        size_t position = 0;
    };
    TakenSections TakeProductSection(int row);
    // Undoes TakeProductSection: the sections go back as row `row` (named
    // "A" + row) and the rows from there on move one down, numbered in order.
    // Rows missing before it get an empty section each.
    void RestoreProductSection(int row, const TakenSections &taken);

    static std::string SectionName(int number) { return "A" + std::to_string(number); }
    // The number of a product section's name ("A12", "a12"), or -1.
    static int ProductNumberOf(std::string_view sectionName);

private:
    struct Line {
        std::string raw; // the line as read or written, without its line break
        std::string end = "\r\n"; // its line break as read; empty only after the last line
        bool isKey = false;
    };
    struct Section {
        bool hasHeader = false; // false only for the lines before the first section
        Line header;            // raw header line
        std::string name;       // trimmed name between "[" and "]"
        std::vector<Line> lines;
    };

    // The place of the first section of that name.
    std::optional<size_t> PlaceOf(std::string_view name) const;
    const Section *FindSection(std::string_view name) const;
    Section *FindSection(std::string_view name);
    static const Line *FindKey(const Section &section, std::string_view key);
    static Line *FindKey(Section &section, std::string_view key);

    void RebuildIndex();
    Section &AppendSection(std::string_view name);
    // The section name of an existing row; empty beyond the last row.
    std::string ProductSection(int row) const;
    void RenameSection(Section &section, int number);

    std::vector<Section> sections_ = std::vector<Section>(1); // [0]: the lines before any header
    // Case-folded section name -> index of its first section: a run looks up one
    // key per cell, and url.ini may hold thousands of sections.
    std::unordered_map<std::string, size_t> index_;
    // The numbers of the product sections, ascending, each once: row i is
    // section "A" + productNumbers_[i].
    std::vector<int> productNumbers_;
};

// The value as one line: line breaks at its ends go, those inside become one
// blank each run. A line break would otherwise split an INI line or a record line.
std::string SingleLineText(std::string_view text);

// Values lose the blanks around them in an INI line, and a title may be " A"
// or "A ": such a value (and one that starts with a double quote) is written
// in double quotes, and one pair of them around a value is taken off when it
// is read. For the program's own side files; url.ini keeps its values as the
// platform's profile calls write them.
std::string QuotedIniValue(std::string_view value);
std::string UnquotedIniValue(std::string value);

// A side file of the program's own (columns.ini, alerts.ini), read to be
// changed and written back: every byte, zero bytes included, so that a rewrite
// gives back what it did not change; an empty file when there is none; an
// error when the file is there but cannot be read whole, which the caller then
// does not rewrite.
Result<LinkFile> LoadSideFile(const std::filesystem::path &path);

std::filesystem::path LinkFilePath(const DataDirs &dirs);

// One key of one product row (LinkFile::ProductValue), read or written like the platform's profile
// calls: every write reads the file, changes the key and replaces the file, so
// that writers elsewhere (a link entry window closed during a run) are never
// overwritten with stale contents. A file that cannot be read reads as empty.
std::string ReadLink(const DataDirs &dirs, int row, std::string_view key);
// An error, with the file unchanged, when the key cannot be stored or the file
// cannot be read (a missing one is empty) or written.
Result<void> WriteLink(const DataDirs &dirs, int row, std::string_view key, std::string_view value);

// Whether a value can be stored under that key and read back. Key names lose
// the blanks around them in an INI line, so a name made of blanks only (a rule
// may be titled " ") names no key, and a key line of one would read back under
// every other such name.
bool IsStorableKey(std::string_view key);

} // namespace corvix
