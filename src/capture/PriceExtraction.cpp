#include "capture/PriceExtraction.h"

#include "capture/MarkerSearch.h"
#include "support/TextUtils.h"

#include <array>

namespace corvix {

std::optional<ElementReader> ElementReaderForKind(std::string_view kind)
{
    // In the order of kElementKinds.
    static constexpr std::array<ElementReader, kElementKinds.size()> kReaders = {
        ElementReader::GetSpanInnerHtml, ElementReader::GetDivInnerHtml, ElementReader::GetTextInputValue,
        ElementReader::GetHiddenInputValue, ElementReader::GetTextAreaValue};
    const int index = ElementKindIndex(kind);
    if (index < 0)
        return std::nullopt;
    return kReaders[static_cast<size_t>(index)];
}

DomRequest RequestForElement(std::string_view kind, std::string_view name)
{
    DomRequest request;
    if (const auto reader = ElementReaderForKind(kind))
        request.AddElement(*reader, name, 0);
    return request;
}

DomRequest RequestForRule(const Rule &rule)
{
    switch (rule.method) {
    case RuleMethod::Markers: {
        DomRequest request;
        request.AddMarkers(MarkerQueryFor(rule.left, rule.right));
        return request;
    }
    case RuleMethod::Element:
        return RequestForElement(rule.elementKind, rule.elementName);
    case RuleMethod::None:
        break;
    }
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

MarkerQuery MarkerQueryFor(std::string_view left, std::string_view right)
{
    return MarkerForms(QuotePlaceholder(PageMarker(left)), QuotePlaceholder(PageMarker(right)));
}

std::string ReadMarkerValue(std::string_view left, std::string_view right, const DomSnapshot &page)
{
    const MarkerQuery query = MarkerQueryFor(left, right);
    if (const std::string *inPage = page.MarkerValue(query))
        return *inPage;
    return TextBetweenMarkers(MarkerSource(page), query);
}

std::string ReadElementValue(std::string_view kind, std::string_view name, const DomSnapshot &page)
{
    const auto reader = ElementReaderForKind(kind);
    if (!reader)
        return {};
    return page.ElementValue(ElementQuery{*reader, std::string(name), 0});
}

std::string ExtractPrice(const Rule &rule, const DomSnapshot &page)
{
    switch (rule.method) {
    case RuleMethod::Markers:
        return StripPriceText(ReadMarkerValue(rule.left, rule.right, page));
    case RuleMethod::Element:
        return StripPriceText(ReadElementValue(rule.elementKind, rule.elementName, page));
    case RuleMethod::None:
        break;
    }
    return {};
}

} // namespace corvix
