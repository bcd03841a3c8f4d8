#include "support/DomSnapshot.h"

#include <algorithm>

namespace corvix {

void DomRequest::AddElement(ElementReader reader, std::string_view name, int skip)
{
    ElementQuery query{reader, std::string(name), skip};
    if (std::find(elements.begin(), elements.end(), query) == elements.end())
        elements.push_back(std::move(query));
}

void DomRequest::Merge(const DomRequest &other)
{
    pageSource = pageSource || other.pageSource;
    for (const ElementQuery &q : other.elements)
        AddElement(q.reader, q.name, q.skip);
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
