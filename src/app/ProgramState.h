#pragma once
// Program-wide state: one instance for the whole process (Program()).
// Everything runs on the UI thread; nothing here is locked.
#include <filesystem>
#include <string>
#include <vector>

namespace corvix {

struct DataDirs {
    std::filesystem::path root;      // .../varnwick
    std::filesystem::path classDir;  // rule index, test.txt, temp.xls
    std::filesystem::path dbDir;     // record files, url.ini
    std::filesystem::path spiderDir; // one *.spider.cfg per rule
};

// The one capture, test or pick in progress (GBK texts).
struct CaptureState {
    bool capturing = false;
    bool testing = false;
    bool picking = false;
    std::string currentLink;
    std::string ruleText;
    int tickCount = 0;
    int emptyResultCount = 0;
};

// The grid cell that receives a capture result or a typed entry.
struct CurrentCell {
    int row = 0;
    int column = 0;
    std::string title; // GBK column title
    void Reset() { *this = CurrentCell{}; }
};

struct ProgramState {
    DataDirs dirs;
    std::vector<std::string> enabledRuleTitles; // GBK, column order (grid column k+1 = entry k-1)
    std::vector<std::string> enabledRuleTexts;  // whole rule file texts, same order
    bool resultsChanged = false;
    CaptureState capture;
    CurrentCell currentCell;
    std::string importBuffer; // GBK, CR LF lines, fields separated by ","
};

ProgramState &Program();
// Tests start from a clean state.
void ResetProgramState();

} // namespace corvix
