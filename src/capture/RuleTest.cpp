#include "capture/RuleTest.h"

#include "capture/PriceExtraction.h"
#include "support/DateTime.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"

namespace corvix {

namespace {

bool LacksElementName(const TestInputs &inputs)
{
    return inputs.elementMethod && inputs.name.empty();
}

// Cleaned as a capture cleans it: a text between the markers that cleans to
// nothing (a script still to fill in the price, "&nbsp;") is no price.
std::string TestValue(const TestInputs &inputs, const DomSnapshot &page)
{
    return inputs.elementMethod ? StripPriceText(ReadElementValue(inputs.kind, inputs.name, page))
                                : StripPriceText(ReadMarkerValue(inputs.left, inputs.right, page));
}

} // namespace

DomRequest RequestForTest(const TestInputs &inputs)
{
    if (LacksElementName(inputs))
        return {};
    if (inputs.elementMethod)
        return RequestForElement(inputs.kind, inputs.name);
    DomRequest request;
    request.AddMarkers(MarkerQueryFor(inputs.left, inputs.right));
    return request;
}

bool TestFindsPrice(const TestInputs &inputs, const DomSnapshot &page)
{
    return page.hasDocument && (LacksElementName(inputs) || !TestValue(inputs, page).empty());
}

std::optional<std::string> TestResultLine(const TestInputs &inputs, const DomSnapshot &page)
{
    if (!page.hasDocument)
        return std::nullopt;
    if (LacksElementName(inputs))
        return FormatTimestamp() + Gbk("    元素名称为空，没有测试") + "\r\n";
    const std::string value = TestValue(inputs, page);
    static const std::string found = Gbk("    测试获取的价格为：");
    static const std::string notFound = Gbk("未获取到或暂无价格");
    std::string line = FormatTimestamp() + found;
    line += value.empty() ? notFound : value;
    line += "\r\n";
    return line;
}

std::string PickedSourceText(const DomSnapshot &page)
{
    return ToLowerText(ReplaceText(page.GetPageSource(), ">", ">\r\n"));
}

std::filesystem::path PickedSourcePath(const DataDirs &dirs)
{
    return dirs.classDir / "test.txt";
}

} // namespace corvix
