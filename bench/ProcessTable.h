#pragma once
// The processes of this machine as /proc shows them, for benchmarks that
// measure a program together with the browser processes it starts (Linux only,
// like the benchmarks that use it).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace corvix::bench {

struct ProcessInfo {
    long pid = 0;
    long parent = 0;
    long rssKiB = 0;
    std::string name;
};

inline std::vector<ProcessInfo> ReadProcessTable()
{
    std::vector<ProcessInfo> table;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream status(entry.path() / "status");
        ProcessInfo info;
        info.pid = std::stol(pid);
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Name:", 0) == 0)
                info.name = line.substr(line.find_first_not_of(" \t", 5));
            else if (line.rfind("PPid:", 0) == 0)
                info.parent = std::stol(line.substr(5));
            else if (line.rfind("VmRSS:", 0) == 0)
                info.rssKiB = std::stol(line.substr(6));
        }
        table.push_back(info);
    }
    return table;
}

// True when root is pid or one of its ancestors.
inline bool IsBelow(const std::map<long, long> &parentOf, long pid, long root)
{
    for (long p = pid; p > 1;) {
        if (p == root)
            return true;
        const auto it = parentOf.find(p);
        p = it == parentOf.end() ? 0 : it->second;
    }
    return false;
}

// Resident memory (KiB) of root and every process below it.
inline long TreeRssKiB(long root)
{
    const auto table = ReadProcessTable();
    std::map<long, long> parentOf;
    for (const auto &p : table)
        parentOf[p.pid] = p.parent;
    long total = 0;
    for (const auto &p : table)
        if (IsBelow(parentOf, p.pid, root))
            total += p.rssKiB;
    return total;
}

// True when a process below root has a name containing part.
inline bool HasProcessBelow(long root, const std::string &part)
{
    const auto table = ReadProcessTable();
    std::map<long, long> parentOf;
    for (const auto &p : table)
        parentOf[p.pid] = p.parent;
    return std::any_of(table.begin(), table.end(), [&](const ProcessInfo &p) {
        return p.pid != root && IsBelow(parentOf, p.pid, root) && p.name.find(part) != std::string::npos;
    });
}

// A field of /proc/self/status in KiB ("VmHWM:", "VmRSS:"), or -1.
inline long ProcStatusKb(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return -1;
}

// Resets VmHWM to the current resident size (Linux 4.0 and later).
inline void ResetPeakRss()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace corvix::bench
