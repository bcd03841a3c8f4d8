#pragma once
// Helpers shared by the tests of the core: a data root in a temporary
// directory, whole-file bytes, and rules made in a line.
#include "rules/Rule.h"
#include "support/DataDirs.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::test {

// Replaces the file with exactly these bytes (GBK texts stay GBK).
void WriteBytes(const std::filesystem::path &path, const std::string &bytes);
// The file's bytes; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path &path);

// Enabled rules; the markers, element kind and name are given in UTF-8 and
// stored in GBK, as in a rule file. ComposeRuleText gives the file text.
Rule MarkerRule(const std::string &left, const std::string &right);
Rule ElementRule(const std::string &kind, const std::string &name);
std::string MarkerRuleText(const std::string &left, const std::string &right);
std::string ElementRuleText(const std::string &kind, const std::string &name);

// The url.ini of dirs after an import of text (CR LF lines: a title, then one
// link per shop, separated by ","), as the import makes it; its products
// replace the ones there were. The test fails when it cannot be written.
void ImportLinks(const DataDirs &dirs, const std::vector<std::string> &shops, std::string_view text);
// Runs work (which blocks, a send for instance) on a thread of its own while
// this thread's event loop goes on, so that a loopback server living here can
// answer it; returns its result.
template <class Work>
auto WhileServing(Work &&work)
{
    auto result = std::async(std::launch::async, std::forward<Work>(work));
    while (result.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return result.get();
}

class TempDataRoot {
public:
    TempDataRoot();
    const DataDirs &Dirs() const { return dirs_; }
    std::filesystem::path Dir() const;
    // Writes GBK bytes to a file below the data root's parent directory.
    static void WriteBytes(const std::filesystem::path &path, const std::string &bytes)
    {
        test::WriteBytes(path, bytes);
    }
    static std::string ReadBytes(const std::filesystem::path &path) { return test::ReadBytes(path); }

private:
    QTemporaryDir dir_;
    DataDirs dirs_;
};

} // namespace corvix::test
