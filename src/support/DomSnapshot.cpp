#include "support/DomSnapshot.h"

#include <algorithm>

namespace corvix {

void DomRequest::AddElement(ElementReader reader, std::string_view name, int skip)
{
    ElementQuery query{reader, std::string(name), skip};
    if (std::find(elements.begin(), elements.end(), query) == elements.end())
        elements.push_back(std::move(query));
}

void DomRequest::AddMarkers(const MarkerQuery &query)
{
    if (std::find(markers.begin(), markers.end(), query) == markers.end())
        markers.push_back(query);
}

void DomRequest::Merge(const DomRequest &other)
{
    pageSource = pageSource || other.pageSource;
    quietTime = quietTime || other.quietTime;
    declarations = declarations || other.declarations;
    for (const ElementQuery &q : other.elements)
        AddElement(q.reader, q.name, q.skip);
    for (const MarkerQuery &q : other.markers)
        AddMarkers(q);
}

const std::vector<std::string> &LegacyInputTypes()
{
    static const std::vector<std::string> types = {"text",  "password", "file",   "hidden", "checkbox",
                                                   "radio", "submit",   "reset",  "button", "image"};
    return types;
}

std::string_view LegacyInputType(std::string_view type)
{
    for (const std::string &known : LegacyInputTypes())
        if (type == known)
            return known;
    return "text";
}

const std::string *DomSnapshot::MarkerValue(const MarkerQuery &query) const
{
    for (const auto &[q, value] : markers)
        if (q == query)
            return &value;
    return nullptr;
}

const std::string &DomSnapshot::ElementValue(const ElementQuery &query) const
{
    static const std::string empty;
    for (const auto &[q, value] : elements)
        if (q == query)
            return value;
    return empty;
}

} // namespace corvix
