#include "capture/CaptureParts.h"

#include "capture/CellTexts.h"
#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/RecordFile.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/GbkBytes.h"
#include "support/HostName.h"

#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <map>
#include <system_error>

namespace corvix {
namespace {

constexpr std::uint32_t kFnvOffset = 2166136261u;
constexpr std::uint32_t kFnvPrime = 16777619u;

std::uint32_t Fnv1a(std::uint32_t hash, std::string_view bytes)
{
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kFnvPrime;
    }
    return hash;
}

std::string Hex(std::uint32_t value)
{
    char text[9] = {};
    const auto end = std::to_chars(text, text + 8, value, 16).ptr;
    return std::string(8 - static_cast<size_t>(end - text), '0') + std::string(text, end);
}

std::optional<int> WholeNumber(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// The record name of a part inside its run folder, and the section of its
// shop titles in the side file.
std::string PartName(int index) { return std::to_string(index); }

constexpr std::string_view kPartSection = "part";

std::unique_ptr<ProductGridModel> PartGrid(const PartCells &part)
{
    auto grid = std::make_unique<ProductGridModel>();
    grid->AddColumn("ID", 0, {});
    grid->AddColumn("title", 0, {});
    for (const std::string &shop : part.shops)
        grid->AddColumn(shop, 0, {});
    std::vector<std::vector<std::string>> rows;
    rows.reserve(part.titles.size());
    for (size_t r = 0; r < part.titles.size(); ++r) {
        std::vector<std::string> row{std::string(), part.titles[r]};
        row.insert(row.end(), part.cells[r].begin(), part.cells[r].end());
        rows.push_back(std::move(row));
    }
    grid->AppendRows(std::move(rows));
    return grid;
}

} // namespace

std::uint32_t HostHash(std::string_view host)
{
    std::uint32_t hash = kFnvOffset;
    for (const char c : host) {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        hash = Fnv1a(hash, std::string_view(&lower, 1));
    }
    return hash;
}

int PartOfHost(std::string_view host, int count)
{
    return count <= 1 ? 0 : static_cast<int>(HostHash(host) % static_cast<std::uint32_t>(count));
}

std::optional<PartSpec> ParsePartSpec(std::string_view text)
{
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::optional<int> index = WholeNumber(text.substr(0, slash));
    const std::optional<int> count = WholeNumber(text.substr(slash + 1));
    if (!index || !count || *count < 1 || *count > kMaxParts || *index < 0 || *index >= *count)
        return std::nullopt;
    return PartSpec{*index, *count};
}

CapturePlan PlanForPart(const CapturePlan &plan, PartSpec part)
{
    CapturePlan mine;
    mine.titles = plan.titles;
    mine.shops = plan.shops;
    mine.retry = plan.retry;
    for (const PlannedLink &link : plan.links)
        if (link.kind == LinkKind::Web && PartOfHost(HostOfAddress(link.address), part.count) == part.index)
            mine.links.push_back(link);
    return mine;
}

std::string PlanDigest(const CapturePlan &plan)
{
    // Every piece is ended by a byte no GBK text holds, so that moving text
    // from one piece to the next changes the digest.
    std::uint32_t hash = kFnvOffset;
    const auto add = [&hash](std::string_view piece) { hash = Fnv1a(Fnv1a(hash, piece), std::string_view("\0", 1)); };
    add(std::to_string(plan.titles.size()));
    for (const std::string &title : plan.titles)
        add(title);
    add(std::to_string(plan.shops.size()));
    for (const std::string &shop : plan.shops)
        add(shop);
    for (const PlannedLink &link : plan.links) {
        add(std::to_string(link.row) + ',' + std::to_string(link.column));
        add(link.stored);
    }
    return Hex(hash);
}

bool IsRunName(std::string_view name)
{
    if (name.empty() || name.size() > 64 || name.front() == '.')
        return false;
    for (const char c : name) {
        const bool ok = IsAsciiLetter(c) || IsAsciiDigit(c) || c == '.'
                        || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

std::string DefaultRunName(const QDateTime &utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyyMMdd-HH")).toStdString();
}

std::filesystem::path RunPartsDir(const std::filesystem::path &dbDir, std::string_view run)
{
    return dbDir / "parts" / std::filesystem::path(std::string(run));
}

std::filesystem::path PartFilePath(const std::filesystem::path &runDir, int index)
{
    return runDir / (PartName(index) + ".txt");
}

std::filesystem::path PartSidePath(const std::filesystem::path &runDir, int index)
{
    return runDir / (PartName(index) + ".ini");
}

PartCells EmptyPart(const CapturePlan &plan, PartSpec part)
{
    PartCells cells;
    cells.part = part;
    cells.planDigest = PlanDigest(plan);
    cells.titles = plan.titles;
    cells.shops = plan.shops;
    cells.cells.assign(plan.titles.size(), std::vector<std::string>(plan.shops.size()));
    return cells;
}

Result<void> WritePart(const std::filesystem::path &runDir, const PartCells &part)
{
    const std::unique_ptr<ProductGridModel> grid = PartGrid(part);
    const std::string record = RecordText(*grid);
    LinkFile side;
    SetRecordColumns(side, PartName(part.part.index), *grid);
    side.SetValue(kPartSection, "index", std::to_string(part.part.index));
    side.SetValue(kPartSection, "count", std::to_string(part.part.count));
    side.SetValue(kPartSection, "plan", part.planDigest);
    side.SetValue(kPartSection, "stopped", part.stopped ? "1" : "0");
    side.SetValue(kPartSection, "bytes", std::to_string(record.size()));
    side.SetValue(kPartSection, "digest", Hex(Fnv1a(kFnvOffset, record)));
    const std::string sideText = side.Text();
    std::error_code ec;
    std::filesystem::create_directories(runDir, ec);
    // The side file goes last and names the record's size and digest: a part
    // whose process died between the two reads as unreadable, never as whole.
    if (Result<void> written = WriteFileAtomically(PartFilePath(runDir, part.part.index), record); !written)
        return written;
    return WriteFileAtomically(PartSidePath(runDir, part.part.index), sideText);
}

Result<PartCells> ReadPart(const std::filesystem::path &runDir, int index)
{
    const Result<std::string> sideText = ReadWholeFile(PartSidePath(runDir, index));
    if (!sideText)
        return tl::unexpected(sideText.error());
    const LinkFile side = LinkFile::Parse(*sideText);
    const Result<std::string> record = ReadWholeFile(PartFilePath(runDir, index));
    if (!record)
        return tl::unexpected(record.error());
    if (side.Value(kPartSection, "bytes") != std::to_string(record->size())
        || side.Value(kPartSection, "digest") != Hex(Fnv1a(kFnvOffset, *record)))
        return Failure(PartFilePath(runDir, index), QStringLiteral("not whole"));
    PartCells part;
    part.part.index = index;
    part.part.count = WholeNumber(side.Value(kPartSection, "count")).value_or(0);
    part.planDigest = side.Value(kPartSection, "plan");
    part.stopped = side.Value(kPartSection, "stopped") == "1";
    part.shops = ReadRecordColumns(side, PartName(index)).shops;
    ForEachRecordRow(PartFilePath(runDir, index), [&](std::vector<std::string> &fields) {
        // Every line ends with "|": the last field is always empty.
        fields.resize(part.shops.size() + 1);
        part.titles.push_back(std::move(fields[0]));
        part.cells.emplace_back(std::make_move_iterator(fields.begin() + 1), std::make_move_iterator(fields.end()));
    });
    return part;
}

int PartCountOfRun(const std::filesystem::path &runDir)
{
    std::map<int, int> votes;
    for (const std::filesystem::path &file : ListFiles(runDir, "*.ini", true)) {
        const LinkFile side = LinkFile::Load(file).value_or(LinkFile());
        if (const std::optional<int> count = WholeNumber(side.Value(kPartSection, "count")); count && *count >= 1)
            ++votes[*count];
    }
    int best = 0;
    int bestVotes = 0;
    for (const auto &[count, n] : votes)
        if (n > bestVotes) {
            best = count;
            bestVotes = n;
        }
    return best;
}

int RunParts::Present() const
{
    return static_cast<int>(std::count_if(parts.begin(), parts.end(), [](const auto &p) { return p.has_value(); }));
}

RunParts ReadRunParts(const std::filesystem::path &runDir, const CapturePlan &plan)
{
    RunParts run;
    run.count = PartCountOfRun(runDir);
    run.parts.resize(static_cast<size_t>(run.count));
    const std::string digest = PlanDigest(plan);
    for (int i = 0; i < run.count; ++i) {
        Result<PartCells> reading = ReadPart(runDir, i);
        if (!reading) {
            const FileError &error = reading.error();
            if (error.path == PartSidePath(runDir, i) && error.absent)
                continue; // the part never finished
            run.problems.push_back((error.path == PartSidePath(runDir, i) ? Gbk("无法读取 ") : Gbk("部分文件不完整："))
                                   + PathToGbk(error.path));
            continue;
        }
        const std::string where = Gbk("部分 ") + std::to_string(i) + Gbk("：");
        if (reading->part.count != run.count)
            run.problems.push_back(where + Gbk("属于分成 ") + std::to_string(reading->part.count) + Gbk(" 部分的运行"));
        else if (reading->planDigest != digest)
            run.problems.push_back(where + Gbk("抓取时的 url.ini 或规则与现在不同"));
        else
            run.parts[static_cast<size_t>(i)] = std::move(*reading);
    }
    return run;
}

JoinedRun JoinParts(const CapturePlan &plan, const ProductGridModel &previous,
                    const std::vector<std::optional<PartCells>> &parts)
{
    JoinedRun joined;
    joined.rows = RowsBeforeRun(plan, previous).rows;
    joined.total = plan.CountedLinks();
    const int count = static_cast<int>(parts.size());
    for (int i = 0; i < count; ++i)
        if (!parts[static_cast<size_t>(i)])
            joined.missingParts.push_back(i);
    // A part's shops are found by title, as a record's are.
    std::vector<std::vector<int>> partShop(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i])
            continue;
        for (const std::string &shop : plan.shops) {
            const auto found = std::find(parts[i]->shops.begin(), parts[i]->shops.end(), shop);
            partShop[i].push_back(found == parts[i]->shops.end() ? -1
                                                                  : static_cast<int>(found - parts[i]->shops.begin()));
        }
    }
    for (const PlannedLink &link : plan.links) {
        if (link.kind == LinkKind::Missing)
            continue;
        // A run counts such a link as done and failed, and leaves its cell.
        if (link.kind == LinkKind::NotWeb) {
            ++joined.done;
            continue;
        }
        const auto p = static_cast<size_t>(PartOfHost(HostOfAddress(link.address), std::max(count, 1)));
        const auto row = static_cast<size_t>(link.row);
        const int shop = p < parts.size() && parts[p] ? partShop[p][static_cast<size_t>(link.column - kFirstSiteColumn)]
                                                      : -1;
        const std::string *text = nullptr;
        if (shop >= 0 && row < parts[p]->cells.size())
            text = &parts[p]->cells[row][static_cast<size_t>(shop)];
        if (!text || text->empty()) {
            ++joined.notCaptured;
            continue;
        }
        joined.rows[row][static_cast<size_t>(link.column)] = *text;
        ++joined.done;
        if (*text != FailureText() && *text != BadLinkText())
            ++joined.priced;
    }
    return joined;
}

std::filesystem::path MergedMarkerPath(const std::filesystem::path &runDir) { return runDir / "merged.ini"; }

Result<void> WriteMergedMarker(const std::filesystem::path &runDir, const std::string &recordName)
{
    LinkFile marker;
    marker.SetValue("merged", "record", recordName);
    return marker.Save(MergedMarkerPath(runDir));
}

std::string MergedRecordOf(const std::filesystem::path &runDir, const std::filesystem::path &dbDir)
{
    const LinkFile marker = LinkFile::Load(MergedMarkerPath(runDir)).value_or(LinkFile());
    const std::string record = marker.Value("merged", "record");
    std::error_code ec;
    if (record.empty() || !std::filesystem::exists(PathInDir(dbDir, record), ec))
        return {};
    return record;
}

} // namespace corvix
