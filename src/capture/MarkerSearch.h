#pragma once
// How a rule's markers are searched in a page. The markers are used as the rule
// file holds them (placeholder "#引号" replaced, CR LF line breaks as the page's
// LF), in the page source with ASCII letters lowered. Markers picked from pages
// of the older browser hold attribute values without quotes where it could
// leave them out (<span id=price>), while the engine writes every value in
// double quotes (<span id="price">): each marker pair is also searched in that
// quoted form, and the form found first in the page decides. All texts GBK.
#include "support/DomSnapshot.h"

#include <string>
#include <string_view>

namespace corvix {

// The forms of a left and right marker pair: as written, and, when it differs,
// with its unquoted attribute values quoted. A left marker that ends right after
// "=" (data-price=) leaves the closing quote to the right marker.
MarkerQuery MarkerForms(std::string_view left, std::string_view right);

// The value of query in the lowered page source: the form whose left marker
// occurs first (the quoted one where both start at the same place); from the end of that left marker to the first occurrence of its
// right marker after it; empty when either is missing.
std::string TextBetweenMarkers(std::string_view loweredSource, const MarkerQuery &query);

} // namespace corvix
