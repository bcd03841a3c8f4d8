#pragma once
// The text side of the rule test and of marker picking: what the test log line
// says and what test.txt holds. The capture window feeds them snapshots of its page.
#include "support/DataDirs.h"
#include "support/DomSnapshot.h"

#include <filesystem>
#include <optional>
#include <string>

namespace corvix {

// The rule editor's unsaved fields, read when a page event arrives (GBK).
struct TestInputs {
    std::string left;          // 编辑框2 "标记左"
    std::string right;         // 编辑框3 "标记右"
    bool elementMethod = false; // 单选框2 checked
    std::string name;          // 编辑框7 "元素名称："
    std::string kind;          // 组合框2 "元素类型："
};

// What the test line needs from the page: always the source (no source, no line),
// and the element for the element method.
DomRequest RequestForTest(const TestInputs &inputs);

// Whether the test has its line: a price found on the page (a value that is
// not empty after cleaning, as a capture reads it), or an element rule without
// a name, which is not looked for. The test looks again until then or until its
// time is up.
bool TestFindsPrice(const TestInputs &inputs, const DomSnapshot &page);

// The line that ShowTestResult appends to the test log, ending in CR LF; nothing
// while the page has no source. An element rule without a name says so.
std::optional<std::string> TestResultLine(const TestInputs &inputs, const DomSnapshot &page);

// The content of test.txt: the page source with a line break after every ">"
// and ASCII letters lowered, the text that markers are searched in.
std::string PickedSourceText(const DomSnapshot &page);

// ClassDir/test.txt.
std::filesystem::path PickedSourcePath(const DataDirs &dirs);

} // namespace corvix
