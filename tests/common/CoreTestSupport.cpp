#include "common/CoreTestSupport.h"

#include "products/ImportText.h"
#include "products/ProductChanges.h"
#include "products/LinkFile.h"
#include "rules/RuleFile.h"
#include "support/DataRoot.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace corvix::test {

TempDataRoot::TempDataRoot()
{
    dirs_ = PrepareDataRoot(Dir(), {}).dirs;
}

std::filesystem::path TempDataRoot::Dir() const
{
    return std::filesystem::path(dir_.path().toStdU16String());
}

void WriteBytes(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Rule MarkerRule(const std::string &left, const std::string &right)
{
    Rule rule;
    rule.method = RuleMethod::Markers;
    rule.left = Gbk(left);
    rule.right = Gbk(right);
    rule.enabled = true;
    return rule;
}

Rule ElementRule(const std::string &kind, const std::string &name)
{
    Rule rule;
    rule.method = RuleMethod::Element;
    rule.elementKind = Gbk(kind);
    rule.elementName = Gbk(name);
    rule.enabled = true;
    return rule;
}

std::string MarkerRuleText(const std::string &left, const std::string &right)
{
    return ComposeRuleText(MarkerRule(left, right));
}

std::string ElementRuleText(const std::string &kind, const std::string &name)
{
    return ComposeRuleText(ElementRule(kind, name));
}

void ImportLinks(const DataDirs &dirs, const std::vector<std::string> &shops, std::string_view text)
{
    EXPECT_TRUE(ImportProducts(dirs, ImportedProducts(text), shops, ImportMode::Replace));
}

} // namespace corvix::test
