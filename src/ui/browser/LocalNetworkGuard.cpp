#include "ui/browser/LocalNetworkGuard.h"

#include "support/HostName.h"

#include <QUrl>

namespace corvix {
namespace {

bool IsLocal(const QUrl &url)
{
    return IsLocalNetworkHost(url.host(QUrl::FullyEncoded).toStdString());
}

// The page a request comes from: the document that started it, or for a load
// the program started itself (no initiator), the page of the top frame.
QUrl RequestingPage(const QWebEngineUrlRequestInfo &info)
{
    const QUrl initiator = info.initiator();
    return initiator.isValid() && !initiator.host().isEmpty() ? initiator : info.firstPartyUrl();
}

} // namespace

void LocalNetworkGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QUrl target = info.requestUrl();
    if (target.host().isEmpty() || !IsLocal(target))
        return;
    const QUrl from = RequestingPage(info);
    // A page without a host of its own (about:blank, data:) counts as public
    // only when the program did not start the load.
    if (!from.host().isEmpty() && !IsLocal(from))
        info.block(true);
}

} // namespace corvix
