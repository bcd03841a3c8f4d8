#pragma once
// Pages of a loopback shop for the capture benchmarks.
#include <QByteArray>

namespace corvix::bench {

// An ordinary product page: some text, then the price 128.00 in <span class="price">.
inline QByteArray ItemPage()
{
    QByteArray body = "<html><head><title>item</title></head><body><h1>Item</h1>";
    for (int i = 0; i < 40; ++i)
        body += "<p>Some description text of the product, line " + QByteArray::number(i) + ".</p>";
    body += "<div class=\"buy\"><span class=\"price\">128.00</span></div></body></html>";
    return body;
}

} // namespace corvix::bench
