#pragma once
// Keeps shop pages off the user's own machine and network: a page from a
// public address may not reach a loopback, link-local or private address, as
// browsers' private-network rules have it (a shop page could otherwise reach
// the user's router or local services). Pages that are themselves on such
// addresses (an intranet shop, a link the user gave that leads there) keep
// working.
//
// Decided by the address a connection goes to, not by the name asked for: a
// name can lead anywhere (a hosts entry, a local resolver, a public name that
// answers 127.0.0.1, a name that answers differently from one minute to the
// next). Qt WebEngine offers no hook at the moment the engine connects, and a
// request check that resolves the name itself would resolve it a second time,
// apart from the engine. So the engine reaches every server through the guard
// itself, a SOCKS5 proxy on the loopback address (GuardProxy): the proxy
// resolves each name once (with the engine's own resolver rules), refuses the
// addresses this rule forbids and connects to the address it checked. Redirects,
// WebSockets, preconnects and WebRTC's TCP relays all pass it; WebRTC may send
// no UDP of its own (it cannot pass a proxy) and offers no local addresses.
//
// The request check (LocalNetworkGuard) knows what the proxy cannot: which page
// asks. It lets a page on the user's network reach its neighbours, and refuses
// a public page's request to what is known to lie there before it starts.
#include "support/NetworkRules.h"

#include <QHash>
#include <QMutex>
#include <QNetworkProxy>
#include <QSet>
#include <QString>
#include <QWebEngineUrlRequestInterceptor>

#include <optional>
#include <string>
#include <vector>

class QHostAddress;
class QUrl;

namespace corvix {

// What the guard knows of hosts and where they lead; shared by the request
// check (UI thread) and the proxy (its own thread).
class NetworkPlaces {
public:
    static NetworkPlaces &Shared();

    // The engine's flags as the engine reads them: its resolver rules, its
    // address-space overrides, and a proxy the user named (not the guard's
    // own, ownProxy), through which the guard then connects.
    void Configure(const std::vector<std::string> &engineFlags, const std::string &ownProxy);

    // Where the engine's resolver rules send host:port.
    HostResolverRules::Mapping Map(const QString &host, int port) const;
    bool IsUsersNetwork(const QHostAddress &address, int port) const;
    // Whether host:port is known to lie on the user's machine or network before
    // connecting: an address (after the resolver rules), a "localhost" name, or
    // where the first connection to it went. nullopt: not known yet.
    std::optional<bool> KnownPlace(const QString &host, int port) const;

    // host:port may be reached on the user's machine or network: the user's own
    // link leads there, or a page there asks for it.
    void Permit(const QString &host, int port);
    // Whether a connection for host:port may go to the user's machine or network:
    // it is permitted, and no earlier connection to it went to a public address
    // (a name that answered public first and local later is no local host).
    bool MayReachUsersNetwork(const QString &host, int port) const;
    // The proxy connected host:port to an address on the user's network or not.
    void Record(const QString &host, int port, bool usersNetwork);
    QNetworkProxy Upstream() const;

private:
    mutable QMutex mutex_;
    HostResolverRules rules_;
    AddressSpaceOverrides overrides_;
    QNetworkProxy upstream_{QNetworkProxy::NoProxy};
    QSet<QString> permitted_;
    QHash<QString, bool> reached_;
};

// Before the QApplication exists: reserves the guard's port and gives the
// engine flags that send all of the engine's connections through it and keep
// WebRTC to proxied connections (static storage, valid for the whole run).
// Empty when no port could be had: the request check alone then guards.
const std::vector<std::string> &LocalNetworkGuardFlags();

// Once the application object exists: starts the guard's proxy on the reserved
// port, with the engine's flags. Later calls do nothing.
void StartLocalNetworkGuard();

// The program is about to load url, a link the user gave: its host may lie on
// the user's machine or network.
void PermitUsersLink(const QUrl &url);

class LocalNetworkGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};

} // namespace corvix
