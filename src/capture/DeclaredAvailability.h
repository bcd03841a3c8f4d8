#pragma once
// Whether a page declares, for the one product it is about, that the product
// can be bought: schema.org data in JSON-LD (offers.availability), microdata
// (itemprop="availability") and the availability meta tags of product pages
// (og:availability, product:availability). Visible words never count: a list
// of other products on the page may well say they are sold out.
#include <string>
#include <string_view>

namespace corvix {

enum class Availability { Undeclared, InStock, OutOfStock };

// The availability that a page's markup (UTF-8 or GBK; only ASCII is read
// outside JSON-LD) declares. A page that declares several products, or one
// source saying the product is sold out while another offers it, is taken at
// its most hopeful word: OutOfStock only when every declaration about the one
// product says OutOfStock, SoldOut or Discontinued.
Availability DeclaredAvailability(std::string_view markup);

} // namespace corvix
