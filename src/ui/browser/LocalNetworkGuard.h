#pragma once
// Keeps shop pages off the user's own machine and network: a request from a
// page whose address is public to a loopback, link-local or private address
// or a "localhost" name is refused, as browsers' private-network rules do
// (a shop page could otherwise reach the user's router or local services).
// Pages that are themselves on such addresses (an intranet shop) keep working.
#include <QWebEngineUrlRequestInterceptor>

namespace corvix {

class LocalNetworkGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};

} // namespace corvix
