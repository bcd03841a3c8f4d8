#pragma once
// What one look at a page's document gives: its source and the values of the
// elements a handler asked for, all as GBK text. A snapshot is taken in one step
// (DomHelper::TakeSnapshot), so every part of it belongs to the same document.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvix {

// The five element readers of the document helper. Each finds the first
// element of its kind that matches a name (see DomHelper.cpp for the finder
// rules) and reads one of its properties.
enum class ElementReader {
    GetTextInputValue,   // <input> of type text, password or file: value
    GetHiddenInputValue, // <input type=hidden>: value
    GetTextAreaValue,    // <textarea>: value
    GetDivInnerHtml,     // <div>: innerHTML
    GetSpanInnerHtml,    // <span>: innerHTML
};

struct ElementQuery {
    ElementReader reader = ElementReader::GetSpanInnerHtml;
    std::string name; // GBK: class, text, name, id, title, or a position
    int skip = 0;     // matching elements to pass over; the program always passes 0

    bool operator==(const ElementQuery &) const = default;
};

// A marker search made inside the page, so that a large page is not shipped
// whole at every look. Each form is a pair of left and right markers (GBK, as
// they are searched in the lowered page); the form whose left marker occurs
// first decides, and the value is the text from the end of that left marker to
// the first occurrence of its right marker after it, empty when either is
// missing. The page is searched with ASCII letters lowered, like MarkerSource.
struct MarkerQuery {
    std::vector<std::pair<std::string, std::string>> forms;

    bool operator==(const MarkerQuery &) const = default;
};

// The "type" of an input as the older browser reported it: the types it knew
// keep their names, every other type (number, tel, email, search, url, ...)
// reads as "text", so that type filters written for it keep their meaning.
std::string_view LegacyInputType(std::string_view type);
// The types the older browser knew, lower case.
const std::vector<std::string> &LegacyInputTypes();

// What a handler needs from the page at one event.
struct DomRequest {
    bool pageSource = false;
    std::vector<ElementQuery> elements;
    std::vector<MarkerQuery> markers;
    // The milliseconds since the document last changed, as far as this helper
    // has watched it (watching starts at the first such request).
    bool quietTime = false;
    // The elements that declare the product's availability (DeclaredAvailability),
    // collected in the page: asked for only when the price is not there.
    bool declarations = false;

    // Adds the query unless it is already asked for.
    void AddElement(ElementReader reader, std::string_view name, int skip = 0);
    void AddMarkers(const MarkerQuery &query);
    // Everything other asks for, added to this request.
    void Merge(const DomRequest &other);
};

struct DomSnapshot {
    // False when the browser held no document of the current navigation (not
    // loaded yet, still showing the previous page, renderer gone).
    bool hasDocument = false;
    std::string address;    // UTF-8 location of the document; empty without one
    std::string pageSource; // GBK outer markup of the document element, when asked for
    std::vector<std::pair<ElementQuery, std::string>> elements; // GBK values, as asked for
    std::vector<std::pair<MarkerQuery, std::string>> markers;   // GBK values, as asked for
    int quietMs = 0; // when asked for: how long the document has not changed
    // When asked for: the page's availability declarations as markup (UTF-8),
    // one element per line: JSON-LD scripts, elements with itemtype or itemprop
    // "availability", availability meta tags.
    std::string declarations;

    // The value read for the query, or the empty text when the element was not
    // found or the query was not part of the request.
    const std::string &ElementValue(const ElementQuery &query) const;
    // The value of a marker search made in the page; nothing when it was not asked for.
    const std::string *MarkerValue(const MarkerQuery &query) const;
    // The page source (GBK) when it was asked for; empty without a document. A
    // document always has a source: hasDocument says whether there is one.
    const std::string &GetPageSource() const { return pageSource; }
};

} // namespace corvix
