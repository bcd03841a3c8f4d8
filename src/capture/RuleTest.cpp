#include "capture/RuleTest.h"

#include "capture/PriceExtraction.h"
#include "support/DateTime.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"

namespace corvix {

DomRequest RequestForTest(const TestInputs &inputs)
{
    DomRequest request;
    if (inputs.elementMethod)
        request = RequestForElement(inputs.kind, inputs.name);
    request.pageSource = true;
    return request;
}

std::optional<std::string> TestResultLine(const TestInputs &inputs, const DomSnapshot &page)
{
    if (page.GetPageSource().empty())
        return std::nullopt;
    // The marker value is tested for emptiness before cleaning, so a value of
    // only "&nbsp;" still counts as found and logs an empty price.
    const std::string value = inputs.elementMethod
                                  ? StripPriceText(ReadElementValue(inputs.kind, inputs.name, page))
                                  : TextBetween(MarkerSource(page), PageMarker(inputs.left), PageMarker(inputs.right));
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
