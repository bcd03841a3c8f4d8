#pragma once
// A capture split into parts that run at the same time on several machines
// (a job array, an indexed job, cron on machines that share the data root),
// and the join of what they captured into one record. The parts never talk to
// each other, so the one rule that keeps shops from being hammered, one
// request at a time per host, holds only because every link of one host falls
// to the same part: the part of a host is a hash of its name that every
// machine and platform computes alike.
//
// What a part captured lies in the run's folder db/parts/<run>/ as two files
// per part: "<i>.txt", a record file (one line per product of url.ini, in its
// order; a cell the part did not capture is empty), and "<i>.ini", the shop
// titles of those columns in the format of the records' side file (section
// "<i>"), with a section "part" that names the part, the plan it captured and
// the bytes of its ".txt". The ".ini" is written last and vouches for the
// ".txt": a part killed while saving leaves no pair that reads as complete.
#include "capture/CapturePlan.h"
#include "support/Result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QDateTime;

namespace corvix {

class ProductGridModel;

// More parts than this would be more machines than shops anyone watches.
constexpr int kMaxParts = 1000;

// FNV-1a (32 bits) over the bytes of the host with ASCII letters lower-cased.
std::uint32_t HostHash(std::string_view host);
// The part (0 .. count - 1) that captures every link of host.
int PartOfHost(std::string_view host, int count);

struct PartSpec {
    int index = 0;
    int count = 1;
};
// "i/n" with 0 <= i < n <= kMaxParts, or nullopt.
std::optional<PartSpec> ParsePartSpec(std::string_view text);

// The links of the plan that part captures: the web links whose host falls to
// it. Links that load nothing (missing, no web address) belong to no part; the
// join accounts for them. Titles and shops stay whole.
CapturePlan PlanForPart(const CapturePlan &plan, PartSpec part);

// A short text that changes with the plan's products, shops and links, so
// that parts captured from another url.ini or other rules are never joined.
std::string PlanDigest(const CapturePlan &plan);

// A run's name: letters, digits, ".", "_" and "-", at most 64, not starting
// with "." (it becomes a folder name on every platform).
bool IsRunName(std::string_view name);
// The default run name, from the UTC date and hour: "20240615-03".
std::string DefaultRunName(const QDateTime &utc);

std::filesystem::path RunPartsDir(const std::filesystem::path &dbDir, std::string_view run);
std::filesystem::path PartFilePath(const std::filesystem::path &runDir, int index);
std::filesystem::path PartSidePath(const std::filesystem::path &runDir, int index);

// What one part captured: cells[row][k] is the text of product row `row`
// under shops[k] (GBK), empty where the part captured nothing.
struct PartCells {
    PartSpec part;
    std::string planDigest;
    std::vector<std::string> titles;
    std::vector<std::string> shops;
    std::vector<std::vector<std::string>> cells;
    bool stopped = false; // a stop request ended the part early
};

// The empty cells of a part about to capture plan's links.
PartCells EmptyPart(const CapturePlan &plan, PartSpec part);

// Writes both files of the part atomically, the side file last.
Result<void> WritePart(const std::filesystem::path &runDir, const PartCells &part);

// The part when it is there and whole. An error with `absent` set when its
// side file is missing (the part never finished); otherwise the error names
// the side file that cannot be read, or the part file that is not whole.
Result<PartCells> ReadPart(const std::filesystem::path &runDir, int index);

// The part count the run's side files name (the one most of them name), or
// 0 when no part of the run is there.
int PartCountOfRun(const std::filesystem::path &runDir);

// The parts of a run, read for the join over plan: parts[i] is part i when it
// is there, whole, and captured from this plan; problems name (GBK) the parts
// that are there but cannot be used. count is PartCountOfRun.
struct RunParts {
    int count = 0;
    std::vector<std::optional<PartCells>> parts;
    std::vector<std::string> problems;
    int Present() const;
};
RunParts ReadRunParts(const std::filesystem::path &runDir, const CapturePlan &plan);

// The join of the parts into the grid of a run over plan. previous is the grid
// before the run (the newest record in today's columns): a cell that no part
// captured keeps its text there, as a stopped run does. parts[i] is part i, or
// nullopt when it is missing.
struct JoinedRun {
    std::vector<std::vector<std::string>> rows; // column 0 empty, for the IDs
    int total = 0;       // links the run set out to capture (missing ones are none)
    int done = 0;        // links some part captured, and links that are no web address
    int priced = 0;      // links that gave a price
    int notCaptured = 0; // links of missing parts, or that a stopped part did not reach
    std::vector<int> missingParts;
    int Failed() const { return done - priced; }
};
JoinedRun JoinParts(const CapturePlan &plan, const ProductGridModel &previous,
                    const std::vector<std::optional<PartCells>> &parts);

// The marker of a merged run: the record (file name) it produced. A run is
// merged once; a second merge finds the marker and saves nothing.
std::filesystem::path MergedMarkerPath(const std::filesystem::path &runDir);
Result<void> WriteMergedMarker(const std::filesystem::path &runDir, const std::string &recordName);
// The record a run was merged into, when it still exists in dbDir; else empty.
std::string MergedRecordOf(const std::filesystem::path &runDir, const std::filesystem::path &dbDir);

} // namespace corvix
