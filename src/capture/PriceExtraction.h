#pragma once
// Turns a rule and the page in the capture browser into a price text. The page
// is read as one DomSnapshot per browser event; the handler asks for what
// RequestForRule names, then calls ExtractPrice on the answer. All texts GBK.
#include "rules/Rule.h"
#include "support/DomSnapshot.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvix {

// The reader for an element kind of a rule (one of kElementKinds); nothing for
// any other kind.
std::optional<ElementReader> ElementReaderForKind(std::string_view kind);

// The document parts that ExtractPrice needs for this rule: the marker search
// (made in the page) for the marker method, the named element for the element
// method. Neither ships the page source.
DomRequest RequestForRule(const Rule &rule);
// The same for a kind and name given directly (the rule test's editor fields).
DomRequest RequestForElement(std::string_view kind, std::string_view name);

// The page source with ASCII letters lowered: the text that markers are searched
// in. Empty when the snapshot holds no document.
std::string MarkerSource(const DomSnapshot &page);
// A marker as it is searched in MarkerSource: the browser serialises the
// document with bare line feeds (its parser drops the CR of every CR LF), so a
// line break of a multi-line marker, stored as CR LF, is searched as LF.
std::string PageMarker(std::string_view marker);

// The marker search of a left and right marker as the rule file holds them.
MarkerQuery MarkerQueryFor(std::string_view left, std::string_view right);
// The raw (uncleaned) text between the markers: the search made in the page when
// the snapshot holds it, else the same search in the snapshot's source.
std::string ReadMarkerValue(std::string_view left, std::string_view right, const DomSnapshot &page);

// The raw (uncleaned) value of the first element of the kind that matches the
// name; empty for an unknown kind or when nothing matches.
std::string ReadElementValue(std::string_view kind, std::string_view name, const DomSnapshot &page);

// The cleaned price that the rule finds on the page, or the empty text (also for
// a rule without a method). Depends on nothing but its two arguments.
std::string ExtractPrice(const Rule &rule, const DomSnapshot &page);

} // namespace corvix
