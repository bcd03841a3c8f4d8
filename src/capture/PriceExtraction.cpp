#include "capture/PriceExtraction.h"

#include "support/TextUtils.h"

namespace corvix {
namespace {

std::string Tagged(std::string_view rule, std::string_view tag)
{
    const std::string open = "[" + std::string(tag) + "]";
    const std::string close = "[/" + std::string(tag) + "]";
    return TextBetween(rule, open, close);
}

constexpr std::string_view kMarkerMethod = "1";
constexpr std::string_view kElementMethod = "2";

} // namespace

std::optional<ElementReader> ElementReaderForKind(std::string_view kind)
{
    if (kind == "span")
        return ElementReader::GetSpanInnerHtml;
    if (kind == "div")
        return ElementReader::GetDivInnerHtml;
    if (kind == "input")
        return ElementReader::GetTextInputValue;
    if (kind == "inputs")
        return ElementReader::GetHiddenInputValue;
    if (kind == "text")
        return ElementReader::GetTextAreaValue;
    return std::nullopt;
}

DomRequest RequestForElement(std::string_view kind, std::string_view name)
{
    DomRequest request;
    if (const auto reader = ElementReaderForKind(kind))
        request.AddElement(*reader, name, 0);
    return request;
}

DomRequest RequestForRule(std::string_view ruleText)
{
    const std::string style = Tagged(ruleText, "style");
    if (style == kMarkerMethod) {
        DomRequest request;
        request.pageSource = true;
        return request;
    }
    if (style == kElementMethod)
        return RequestForElement(Tagged(ruleText, "tbd"), Tagged(ruleText, "tb"));
    return {};
}

std::string MarkerSource(const DomSnapshot &page)
{
    return ToLowerText(page.GetPageSource());
}

std::string PageMarker(std::string_view marker)
{
    return ReplaceText(marker, "\r\n", "\n");
}

std::string ReadElementValue(std::string_view kind, std::string_view name, const DomSnapshot &page)
{
    const auto reader = ElementReaderForKind(kind);
    if (!reader)
        return {};
    return page.ElementValue(ElementQuery{*reader, std::string(name), 0});
}

std::string ExtractPrice(std::string_view ruleText, const DomSnapshot &page)
{
    const std::string style = Tagged(ruleText, "style");
    if (style == kMarkerMethod) {
        const std::string left = Tagged(ruleText, "left");
        const std::string right = Tagged(ruleText, "right");
        return StripPriceText(TextBetween(MarkerSource(page), PageMarker(left), PageMarker(right)));
    }
    if (style == kElementMethod)
        return StripPriceText(ReadElementValue(Tagged(ruleText, "tbd"), Tagged(ruleText, "tb"), page));
    return {};
}

} // namespace corvix
