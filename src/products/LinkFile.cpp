#include "products/LinkFile.h"

#include "support/FileIo.h"
#include "support/GbkBytes.h"

#include <algorithm>
#include <optional>
#include <system_error>

namespace corvix {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Compares name with the start of text character by character: ASCII letters
// without regard to case, both bytes of a two-byte character exactly. Returns
// the length matched, or nullopt.
std::optional<size_t> MatchNamePrefix(std::string_view text, std::string_view name)
{
    if (name.size() > text.size())
        return std::nullopt;
    size_t i = 0;
    while (i < name.size()) {
        if (IsLeadByte(name[i])) {
            if (i + 1 >= name.size()) {
                // A lone lead byte at the end of the name compares exactly.
                if (text[i] != name[i])
                    return std::nullopt;
                ++i;
                continue;
            }
            if (text[i] != name[i] || text[i + 1] != name[i + 1])
                return std::nullopt;
            i += 2;
            continue;
        }
        if (FoldAscii(text[i]) != FoldAscii(name[i]))
            return std::nullopt;
        ++i;
    }
    // The name must not end inside a two-byte character of the text.
    if (i > 0) {
        size_t j = 0;
        while (j < i)
            j += CharBytesAt(text, j);
        if (j != i)
            return std::nullopt;
    }
    return i;
}

// Position of the first c in text that is not the second byte of a two-byte character.
size_t FindByte(std::string_view text, char c, size_t from = 0)
{
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == c)
            return i;
        if (IsLeadByte(text[i]))
            ++i;
    }
    return std::string_view::npos;
}

// Offset just after the "=" of a key line for key, or npos.
size_t ValueStart(std::string_view raw, std::string_view key)
{
    key = TrimBlanks(key);
    if (key.empty())
        return std::string_view::npos;
    size_t start = 0;
    while (start < raw.size() && IsBlank(raw[start]))
        ++start;
    const auto matched = MatchNamePrefix(raw.substr(start), key);
    if (!matched)
        return std::string_view::npos;
    size_t i = start + *matched;
    while (i < raw.size() && IsBlank(raw[i]))
        ++i;
    if (i >= raw.size() || raw[i] != '=')
        return std::string_view::npos;
    return i + 1;
}

// A line whose first non-blank byte is "[" is a section header, unless what
// follows its closing "]" is a "key=value" remainder: then it is the key line of
// a key that starts with "[" (a rule title may).
bool ParseHeader(std::string_view raw, std::string &name)
{
    std::string_view s = raw;
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    if (s.empty() || s.front() != '[')
        return false;
    s.remove_prefix(1);
    const size_t close = FindByte(s, ']');
    if (close != std::string_view::npos) {
        const std::string_view rest = TrimBlanks(s.substr(close + 1));
        if (!rest.empty() && FindByte(rest, '=') != std::string_view::npos)
            return false;
        name = std::string(TrimBlanks(s.substr(0, close)));
    } else {
        name = std::string(TrimBlanks(s));
    }
    return true;
}

// ASCII letters of single-byte characters upper-cased: two names are the same
// section name exactly when their folded forms are equal.
std::string FoldedName(std::string_view name)
{
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
        if (IsLeadByte(out[i])) {
            ++i;
            continue;
        }
        out[i] = FoldAscii(out[i]);
    }
    return out;
}

} // namespace

std::string SingleLineText(std::string_view value)
{
    while (!value.empty() && (value.front() == '\r' || value.front() == '\n'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n'))
        value.remove_suffix(1);
    std::string out;
    out.reserve(value.size());
    bool inBreak = false;
    for (char c : value) {
        if (c == '\r' || c == '\n') {
            if (!inBreak)
                out.push_back(' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        out.push_back(c);
    }
    return out;
}

std::string QuotedIniValue(std::string_view value)
{
    const bool quote = value.empty() || IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"';
    return quote ? '"' + std::string(value) + '"' : std::string(value);
}

std::string UnquotedIniValue(std::string value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

Result<LinkFile> LoadSideFile(const std::filesystem::path &path)
{
    Result<std::string> bytes = ReadEveryByte(path);
    if (!bytes) {
        std::error_code ec;
        if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found)
            return LinkFile();
        return tl::unexpected<FileError>(std::move(bytes.error()));
    }
    return LinkFile::Parse(*bytes);
}

Result<LinkFile> LinkFile::Load(const std::filesystem::path &path)
{
    return ReadWholeFile(path, StopAt::ZeroOrTextEnd).map([](const std::string &text) { return Parse(text); });
}

LinkFile LinkFile::Parse(std::string_view text)
{
    LinkFile file;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        const bool last = end == std::string_view::npos;
        if (last)
            end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        Line line;
        line.end = last ? "" : "\n";
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
            line.end.insert(0, 1, '\r');
        }
        line.raw = std::string(raw);
        pos = last ? text.size() : end + 1;

        std::string name;
        if (ParseHeader(raw, name)) {
            Section section;
            section.hasHeader = true;
            section.header = std::move(line);
            section.name = std::move(name);
            file.sections_.push_back(std::move(section));
            continue;
        }
        line.isKey = FindByte(raw, '=') != std::string_view::npos;
        file.sections_.back().lines.push_back(std::move(line));
    }
    file.RebuildIndex();
    return file;
}

void LinkFile::RebuildIndex()
{
    index_.clear();
    productNumbers_.clear();
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (!sections_[i].hasHeader)
            continue;
        index_.emplace(FoldedName(sections_[i].name), i);
        if (const int n = ProductNumberOf(sections_[i].name); n >= 0)
            productNumbers_.push_back(n);
    }
    std::sort(productNumbers_.begin(), productNumbers_.end());
    productNumbers_.erase(std::unique(productNumbers_.begin(), productNumbers_.end()), productNumbers_.end());
}

std::string LinkFile::Text() const
{
    std::string out;
    // The last line read may end without a line feed; when another line
    // follows it now, it gets one.
    bool unended = false;
    const auto put = [&](const Line &line) {
        if (unended)
            out += !out.empty() && out.back() == '\r' ? "\n" : "\r\n";
        out += line.raw;
        out += line.end;
        unended = line.end.empty() || line.end.back() != '\n';
    };
    for (const Section &section : sections_) {
        if (section.hasHeader)
            put(section.header);
        for (const Line &line : section.lines)
            put(line);
    }
    return out;
}

Result<void> LinkFile::Save(const std::filesystem::path &path) const
{
    return WriteFileAtomically(path, Text());
}

bool LinkFile::HasSection(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

void LinkFile::AddSection(std::string_view section)
{
    if (!HasSection(section))
        AppendSection(TrimBlanks(section));
}

void LinkFile::RemoveSection(std::string_view section)
{
    const std::string folded = FoldedName(TrimBlanks(section));
    std::erase_if(sections_, [&](const Section &s) { return s.hasHeader && FoldedName(s.name) == folded; });
    RebuildIndex();
}

const LinkFile::Section *LinkFile::FindSection(std::string_view name) const
{
    const auto found = index_.find(FoldedName(TrimBlanks(name)));
    return found == index_.end() ? nullptr : &sections_[found->second];
}

std::optional<size_t> LinkFile::PlaceOf(std::string_view name) const
{
    const auto found = index_.find(FoldedName(TrimBlanks(name)));
    return found == index_.end() ? std::nullopt : std::optional<size_t>(found->second);
}

LinkFile::Section *LinkFile::FindSection(std::string_view name)
{
    return const_cast<Section *>(static_cast<const LinkFile *>(this)->FindSection(name));
}

const LinkFile::Line *LinkFile::FindKey(const Section &section, std::string_view key)
{
    for (const Line &line : section.lines)
        if (line.isKey && ValueStart(line.raw, key) != std::string_view::npos)
            return &line;
    return nullptr;
}

LinkFile::Line *LinkFile::FindKey(Section &section, std::string_view key)
{
    return const_cast<Line *>(FindKey(static_cast<const Section &>(section), key));
}

std::string LinkFile::Value(std::string_view section, std::string_view key) const
{
    const Section *s = FindSection(section);
    if (!s)
        return {};
    const Line *line = FindKey(*s, key);
    if (!line)
        return {};
    const std::string_view raw = line->raw;
    return std::string(TrimBlanks(raw.substr(ValueStart(raw, key))));
}

bool LinkFile::HasValue(std::string_view section, std::string_view key) const
{
    const Section *s = FindSection(section);
    return s && FindKey(*s, key);
}

void LinkFile::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
    if (TrimBlanks(key).empty())
        return;
    const std::optional<size_t> place = PlaceOf(section);
    SetValueAt(place ? *place : AppendSectionAt(section), key, value);
}

void LinkFile::SetValueAt(size_t place, std::string_view key, std::string_view value)
{
    const std::string_view keyName = TrimBlanks(key);
    if (keyName.empty() || place >= sections_.size())
        return;
    Section *s = &sections_[place];
    const std::string raw = std::string(keyName) + "=" + SingleLineText(value);
    if (Line *line = FindKey(*s, keyName)) {
        line->raw = raw;
        return;
    }
    // New keys go after the last non-blank line, so that blank lines and
    // comments that end the section stay where they are.
    auto insertAt = s->lines.end();
    while (insertAt != s->lines.begin() && TrimBlanks(std::prev(insertAt)->raw).empty())
        --insertAt;
    Line line;
    line.raw = raw;
    line.isKey = true;
    s->lines.insert(insertAt, std::move(line));
}

void LinkFile::RemoveValue(std::string_view section, std::string_view key)
{
    if (const std::optional<size_t> place = PlaceOf(section))
        RemoveValueAt(*place, key);
}

void LinkFile::RemoveValueAt(size_t place, std::string_view key)
{
    if (place >= sections_.size() || TrimBlanks(key).empty())
        return;
    std::erase_if(sections_[place].lines, [key](const Line &line) {
        return line.isKey && ValueStart(line.raw, key) != std::string_view::npos;
    });
}

std::string LinkFile::ValueAt(size_t place, std::string_view key) const
{
    if (place >= sections_.size())
        return {};
    const Line *line = FindKey(sections_[place], key);
    if (!line)
        return {};
    const std::string_view raw = line->raw;
    return std::string(TrimBlanks(raw.substr(ValueStart(raw, key))));
}

bool LinkFile::HasValueAt(size_t place, std::string_view key) const
{
    return place < sections_.size() && FindKey(sections_[place], key);
}

long long LinkFile::NumberAfter(std::string_view name, std::string_view prefix)
{
    const auto matched = MatchNamePrefix(name, prefix);
    if (!matched)
        return -1;
    const std::string_view digits = name.substr(*matched);
    // Eighteen digits always fit.
    if (digits.empty() || digits.size() > 18 || (digits.size() > 1 && digits[0] == '0'))
        return -1;
    long long n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::vector<std::string> LinkFile::NumberedValuesAt(size_t place, std::string_view prefix) const
{
    std::vector<std::string> values;
    if (place >= sections_.size())
        return values;
    // Only the first line of a number counts, as with Value.
    std::vector<std::optional<std::string_view>> byNumber;
    for (const Line &line : sections_[place].lines) {
        if (!line.isKey)
            continue;
        const std::string_view raw = line.raw;
        const size_t eq = FindByte(raw, '=');
        const long long n = NumberAfter(TrimBlanks(raw.substr(0, eq)), prefix);
        // Numbers beyond the key lines cannot continue an unbroken run from 1.
        if (n < 1 || static_cast<size_t>(n) > sections_[place].lines.size())
            continue;
        if (byNumber.size() < static_cast<size_t>(n))
            byNumber.resize(static_cast<size_t>(n));
        if (!byNumber[static_cast<size_t>(n) - 1])
            byNumber[static_cast<size_t>(n) - 1] = TrimBlanks(raw.substr(eq + 1));
    }
    for (const auto &value : byNumber) {
        if (!value)
            break;
        values.emplace_back(*value);
    }
    return values;
}

std::vector<std::string> LinkFile::NumberedValues(std::string_view section, std::string_view prefix) const
{
    const std::optional<size_t> place = PlaceOf(section);
    return place ? NumberedValuesAt(*place, prefix) : std::vector<std::string>();
}

void LinkFile::SetNumberedValuesAt(size_t place, std::string_view prefix, const std::vector<std::string> &values)
{
    if (place >= sections_.size())
        return;
    std::vector<Line> &lines = sections_[place].lines;
    std::erase_if(lines, [prefix](const Line &line) {
        if (!line.isKey)
            return false;
        const std::string_view raw = line.raw;
        return NumberAfter(TrimBlanks(raw.substr(0, FindByte(raw, '='))), prefix) >= 0;
    });
    // After the last non-blank line, as SetValue puts a new key.
    auto at = lines.end();
    while (at != lines.begin() && TrimBlanks(std::prev(at)->raw).empty())
        --at;
    std::vector<Line> added(values.size());
    for (size_t k = 0; k < values.size(); ++k) {
        added[k].raw = std::string(prefix) + std::to_string(k + 1) + "=" + SingleLineText(values[k]);
        added[k].isKey = true;
    }
    lines.insert(at, std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

void LinkFile::ReplaceSection(std::string_view section,
                              const std::vector<std::pair<std::string, std::string>> &values)
{
    const std::optional<size_t> found = PlaceOf(section);
    const size_t place = found ? *found : AppendSectionAt(section);
    std::vector<Line> &lines = sections_[place].lines;
    // The blank and comment lines after its last key line stay: they part it
    // from the next section.
    auto tail = lines.end();
    while (tail != lines.begin() && !std::prev(tail)->isKey)
        --tail;
    std::vector<Line> replaced;
    replaced.reserve(values.size() + static_cast<size_t>(lines.end() - tail));
    for (const auto &[key, value] : values) {
        if (TrimBlanks(key).empty())
            continue;
        Line line;
        line.raw = std::string(TrimBlanks(key)) + "=" + SingleLineText(value);
        line.isKey = true;
        replaced.push_back(std::move(line));
    }
    replaced.insert(replaced.end(), std::make_move_iterator(tail), std::make_move_iterator(lines.end()));
    lines = std::move(replaced);
    // Later sections of the name would be read by nothing and shadow nothing,
    // but stand for the same record: they go with the old lines.
    const std::string folded = FoldedName(sections_[place].name);
    std::vector<size_t> later;
    for (size_t i = place + 1; i < sections_.size(); ++i)
        if (sections_[i].hasHeader && FoldedName(sections_[i].name) == folded)
            later.push_back(i);
    if (!later.empty())
        RemoveSectionsAt(std::move(later));
}

size_t LinkFile::AppendSectionAt(std::string_view section)
{
    AppendSection(section);
    return sections_.size() - 1;
}

void LinkFile::RemoveSectionsAt(std::vector<size_t> places)
{
    // Place 0, the lines before the first header, is no section to remove.
    std::vector<bool> gone(sections_.size(), false);
    for (size_t place : places)
        if (place > 0 && place < sections_.size())
            gone[place] = true;
    size_t kept = 0;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (gone[i])
            continue;
        if (kept != i)
            sections_[kept] = std::move(sections_[i]);
        ++kept;
    }
    sections_.resize(kept);
    RebuildIndex();
}

LinkFile::Section &LinkFile::AppendSection(std::string_view name)
{
    Section added;
    added.hasHeader = true;
    added.name = std::string(TrimBlanks(name));
    added.header.raw = "[" + added.name + "]";
    index_.emplace(FoldedName(added.name), sections_.size());
    if (const int n = ProductNumberOf(added.name); n >= 0)
        productNumbers_.insert(std::lower_bound(productNumbers_.begin(), productNumbers_.end(), n), n);
    sections_.push_back(std::move(added));
    return sections_.back();
}

int LinkFile::ProductNumberOf(std::string_view name)
{
    name = TrimBlanks(name);
    if (name.size() < 2 || (name[0] != 'A' && name[0] != 'a'))
        return -1;
    const std::string_view digits = name.substr(1);
    // Nine digits always fit an int.
    if (digits.size() > 9 || (digits.size() > 1 && digits[0] == '0'))
        return -1;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

int LinkFile::ProductCount() const
{
    return static_cast<int>(productNumbers_.size());
}

std::string LinkFile::ProductSection(int row) const
{
    if (row < 0 || row >= ProductCount())
        return {};
    return SectionName(productNumbers_[static_cast<size_t>(row)]);
}

std::string LinkFile::ProductValue(int row, std::string_view key) const
{
    const std::string section = ProductSection(row);
    return section.empty() ? std::string() : Value(section, key);
}

void LinkFile::SetProductValue(int row, std::string_view key, std::string_view value)
{
    if (row < 0 || TrimBlanks(key).empty())
        return;
    if (row >= ProductCount()) {
        // Numbered in order first, the new sections follow the last one without
        // a gap, and no number can grow beyond the rows there are. Rows before
        // this one that have no links yet get an empty section each.
        NumberProductsInOrder();
        while (ProductCount() <= row)
            AppendSection(SectionName(ProductCount()));
    }
    SetValue(ProductSection(row), key, value);
}

void LinkFile::RemoveProductValue(int row, std::string_view key)
{
    if (row < 0 || row >= ProductCount() || TrimBlanks(key).empty())
        return;
    const int number = productNumbers_[static_cast<size_t>(row)];
    for (Section &section : sections_)
        if (section.hasHeader && ProductNumberOf(section.name) == number)
            std::erase_if(section.lines, [key](const Line &line) {
                return line.isKey && ValueStart(line.raw, key) != std::string_view::npos;
            });
}

void LinkFile::ClearProductKeys(int row)
{
    if (row < 0 || row >= ProductCount())
        return;
    const int number = productNumbers_[static_cast<size_t>(row)];
    for (Section &section : sections_)
        if (section.hasHeader && ProductNumberOf(section.name) == number)
            std::erase_if(section.lines, [](const Line &line) { return line.isKey; });
}

void LinkFile::SetOrRemoveProductValue(int row, std::string_view key, std::string_view value)
{
    if (!SingleLineText(value).empty())
        SetProductValue(row, key, value);
    else if (const std::string section = ProductSection(row); !section.empty())
        RemoveValue(section, key);
}

void LinkFile::RenameSection(Section &section, int number)
{
    section.name = SectionName(number);
    section.header.raw = "[" + section.name + "]";
}

void LinkFile::NumberProductsInOrder()
{
    bool renamed = false;
    for (Section &section : sections_) {
        if (!section.hasHeader)
            continue;
        const int n = ProductNumberOf(section.name);
        if (n < 0)
            continue;
        const auto row = std::lower_bound(productNumbers_.begin(), productNumbers_.end(), n) - productNumbers_.begin();
        if (row == n)
            continue; // left as written, "[a3]" or "[ A3 ]" included
        RenameSection(section, static_cast<int>(row));
        renamed = true;
    }
    if (renamed)
        RebuildIndex();
}

void LinkFile::RemoveProductSection(int row)
{
    TakeProductSection(row);
}

LinkFile::TakenSections LinkFile::TakeProductSection(int row)
{
    TakenSections taken;
    if (row < 0 || row >= ProductCount())
        return taken;
    const int number = productNumbers_[static_cast<size_t>(row)];
    // Every section of the row goes, duplicates included: a duplicate left
    // behind would shadow the renumbered section of the next row.
    const auto ofRow = [number](const Section &s) { return s.hasHeader && ProductNumberOf(s.name) == number; };
    taken.position = static_cast<size_t>(std::find_if(sections_.begin(), sections_.end(), ofRow) - sections_.begin());
    for (const Section &section : sections_) {
        if (!ofRow(section))
            continue;
        taken.text += section.header.raw + (section.header.end.empty() ? "\r\n" : section.header.end);
        for (const Line &line : section.lines)
            taken.text += line.raw + (line.end.empty() ? "\r\n" : line.end);
    }
    std::erase_if(sections_, ofRow);
    RebuildIndex();
    NumberProductsInOrder();
    return taken;
}

void LinkFile::RestoreProductSection(int row, const TakenSections &taken)
{
    if (row < 0 || taken.text.empty())
        return;
    NumberProductsInOrder();
    while (ProductCount() < row)
        AppendSection(SectionName(ProductCount()));
    for (Section &section : sections_) {
        const int n = section.hasHeader ? ProductNumberOf(section.name) : -1;
        if (n >= row)
            RenameSection(section, n + 1);
    }
    LinkFile parsed = Parse(taken.text);
    std::vector<Section> restored(std::make_move_iterator(parsed.sections_.begin() + 1),
                                  std::make_move_iterator(parsed.sections_.end()));
    for (Section &section : restored)
        if (ProductNumberOf(section.name) != row)
            RenameSection(section, row);
    const size_t at = std::clamp<size_t>(taken.position, 1, sections_.size());
    sections_.insert(sections_.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(restored.begin()),
                     std::make_move_iterator(restored.end()));
    RebuildIndex();
}

std::filesystem::path LinkFilePath(const DataDirs &dirs)
{
    return dirs.dbDir / "url.ini";
}

namespace {

// The last text read or written and its parse: a run reads one key per cell,
// and parsing the whole file each time would dominate on big files. The cache
// is keyed on the bytes themselves, so any change on disk is seen.
struct LinkFileCache {
    std::filesystem::path path;
    std::string text;
    LinkFile file;
    bool valid = false;
};

LinkFileCache &Cache()
{
    static LinkFileCache cache;
    return cache;
}

// A file that cannot be read is an error, never an empty list: WriteLink
// would write over its products.
Result<const LinkFile *> LoadCached(const std::filesystem::path &path)
{
    LinkFileCache &cache = Cache();
    Result<std::string> text = AbsentAsEmpty(ReadWholeFile(path, StopAt::ZeroOrTextEnd));
    if (!text)
        return tl::unexpected(std::move(text.error()));
    if (!cache.valid || cache.path != path || cache.text != *text) {
        cache.file = LinkFile::Parse(*text);
        cache.text = std::move(*text);
        cache.path = path;
        cache.valid = true;
    }
    return &cache.file;
}

} // namespace

std::string ReadLink(const DataDirs &dirs, int row, std::string_view key)
{
    const Result<const LinkFile *> file = LoadCached(LinkFilePath(dirs));
    return file ? (*file)->ProductValue(row, key) : std::string();
}

bool IsStorableKey(std::string_view key)
{
    return !TrimBlanks(key).empty();
}

Result<void> WriteLink(const DataDirs &dirs, int row, std::string_view key, std::string_view value)
{
    const std::filesystem::path path = LinkFilePath(dirs);
    if (!IsStorableKey(key))
        return Failure(path, QStringLiteral("a key of blanks only cannot be stored"));
    const Result<const LinkFile *> read = LoadCached(path);
    if (!read)
        return tl::unexpected(read.error());
    LinkFile file = **read;
    file.SetProductValue(row, key, value);
    std::string text = file.Text();
    if (Result<void> written = WriteFileAtomically(path, text); !written) {
        Cache().valid = false;
        return written;
    }
    LinkFileCache &cache = Cache();
    cache.path = path;
    cache.text = std::move(text);
    cache.file = std::move(file);
    cache.valid = true;
    return {};
}

} // namespace corvix
