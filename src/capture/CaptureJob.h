#pragma once
// One link of a capture run as a value: where the result goes, what is loaded
// and how its price is found. The run makes one per link; the capture window
// works on it and hands it back with the result, so the result lands in the
// cell the link was taken from whatever happened meanwhile.
#include "rules/Rule.h"

#include <string>

namespace corvix {

struct CaptureJob {
    int row = 0;      // grid row (0-based) of the product
    int column = 0;   // grid column (0-based) of the link's site
    std::string link; // GBK web address
    Rule rule;        // the rule of the site's column
    std::string product; // GBK title of the product, shown while it loads
    std::string shop;    // GBK title of the site's column
};

} // namespace corvix
