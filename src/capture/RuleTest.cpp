#include "capture/RuleTest.h"

#include "capture/PriceExtraction.h"
#include "support/DateTime.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"

namespace corvix {

DomRequest RequestForTest(const TestInputs &inputs)
{
    if (inputs.elementMethod)
        return RequestForElement(inputs.kind, inputs.name);
    DomRequest request;
    request.AddMarkers(MarkerQueryFor(inputs.left, inputs.right));
    return request;
}

namespace {

// The marker value is tested for emptiness before cleaning, so a value of
// only "&nbsp;" still counts as found and logs an empty price.
std::string TestValue(const TestInputs &inputs, const DomSnapshot &page)
{
    return inputs.elementMethod ? StripPriceText(ReadElementValue(inputs.kind, inputs.name, page))
                                : ReadMarkerValue(inputs.left, inputs.right, page);
}

} // namespace

bool TestFindsPrice(const TestInputs &inputs, const DomSnapshot &page)
{
    return page.hasDocument && !TestValue(inputs, page).empty();
}

std::optional<std::string> TestResultLine(const TestInputs &inputs, const DomSnapshot &page)
{
    if (!page.hasDocument)
        return std::nullopt;
    const std::string value = TestValue(inputs, page);
    static const std::string found = Gbk("    测试获取的价格为：");
    static const std::string notFound = Gbk("未获取到或暂无价格");
    std::string line = FormatTimestamp() + found;
    line += value.empty() ? notFound : StripPriceText(value);
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
