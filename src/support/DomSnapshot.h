#pragma once
// What one look at a page's document gives: its source and the values of the
// elements a handler asked for, all as GBK text. A snapshot is taken in one step
// (DomHelper::TakeSnapshot), so every part of it belongs to the same document.
#include <string>
#include <string_view>
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

// What a handler needs from the page at one event.
struct DomRequest {
    bool pageSource = false;
    std::vector<ElementQuery> elements;

    // Adds the query unless it is already asked for.
    void AddElement(ElementReader reader, std::string_view name, int skip = 0);
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

    // The value read for the query, or the empty text when the element was not
    // found or the query was not part of the request.
    const std::string &ElementValue(const ElementQuery &query) const;
    // The page source (GBK); empty without a document.
    const std::string &GetPageSource() const { return pageSource; }
};

} // namespace corvix
