#include "ui/browser/LocalNetworkGuard.h"

#include "support/Platform.h"
#include "ui/browser/GuardProxy.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QMutexLocker>
#include <QUrl>

namespace corvix {
namespace {

QString Key(QString host, int port)
{
    host = host.toLower();
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    if (host.endsWith(u'.'))
        host.chop(1);
    return host + u':' + QString::number(port);
}

QString HostOf(const QUrl &url)
{
    return url.host(QUrl::FullyEncoded).toLower();
}

int PortOf(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    const int standard = scheme == QLatin1String("https") || scheme == QLatin1String("wss") ? 443
                         : scheme == QLatin1String("http") || scheme == QLatin1String("ws") ? 80
                                                                                             : -1;
    return url.port(standard);
}

// Names the engine answers with the loopback address itself, never asking a resolver.
bool IsLocalhostName(const QString &host)
{
    return host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost"));
}

// The engine's flags as the engine takes them: from the environment variable
// when it is set, else the program's arguments after --webEngineArgs.
std::vector<std::string> EngineFlags()
{
    std::vector<std::string> flags;
    const QByteArray variable = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!variable.isEmpty()) {
        for (const QByteArray &flag : variable.split(' '))
            if (!flag.isEmpty())
                flags.push_back(flag.toStdString());
        return flags;
    }
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype start = arguments.indexOf(QStringLiteral("--webEngineArgs"));
    if (start >= 0)
        for (qsizetype i = start + 1; i < arguments.size(); ++i)
            flags.push_back(arguments[i].toStdString());
    return flags;
}

// A proxy the user gave the engine ("host:port", "http://host:port",
// "socks5://host:port"; of a list by scheme, the first).
QNetworkProxy ProxyFromFlag(std::string text)
{
    text = text.substr(0, text.find(';'));
    if (const size_t equals = text.find('='); equals != std::string::npos)
        text = text.substr(equals + 1);
    QNetworkProxy::ProxyType type = QNetworkProxy::HttpProxy;
    if (const size_t scheme = text.find("://"); scheme != std::string::npos) {
        const std::string name = text.substr(0, scheme);
        if (name == "socks5")
            type = QNetworkProxy::Socks5Proxy;
        else if (name != "http" && name != "https")
            return QNetworkProxy(QNetworkProxy::NoProxy);
        text = text.substr(scheme + 3);
    }
    const QUrl url(QStringLiteral("http://") + QString::fromStdString(text));
    if (!url.isValid() || url.host().isEmpty())
        return QNetworkProxy(QNetworkProxy::NoProxy);
    return QNetworkProxy(type, url.host(), static_cast<quint16>(url.port(type == QNetworkProxy::HttpProxy ? 80 : 1080)));
}

// The guard's listening socket and the flags that name it, once the flags
// have been asked for (before that the engine does not use the guard).
struct Reserved {
    std::intptr_t socket = -1;
    std::string proxy;
    std::vector<std::string> flags;
    bool started = false;
};

Reserved *g_reserved = nullptr;

// The page a request comes from: the document that started it, or for a load
// without one (the program's own, a redirect of it), the page of the top frame.
QUrl RequestingPage(const QWebEngineUrlRequestInfo &info)
{
    const QUrl initiator = info.initiator();
    return initiator.isValid() && !initiator.host().isEmpty() ? initiator : info.firstPartyUrl();
}

} // namespace

NetworkPlaces &NetworkPlaces::Shared()
{
    static NetworkPlaces places;
    return places;
}

void NetworkPlaces::Configure(const std::vector<std::string> &engineFlags, const std::string &ownProxy)
{
    QMutexLocker lock(&mutex_);
    rules_ = HostResolverRules(EngineSwitchValue(engineFlags, "host-resolver-rules").value_or(std::string()));
    overrides_ =
        AddressSpaceOverrides(EngineSwitchValue(engineFlags, "ip-address-space-overrides").value_or(std::string()));
    // The engine takes the last --proxy-server, the guard's; the one before is the user's.
    std::vector<std::string> usersFlags;
    for (const std::string &flag : engineFlags)
        if (flag != "--proxy-server=" + ownProxy)
            usersFlags.push_back(flag);
    const auto usersProxy = EngineSwitchValue(usersFlags, "proxy-server");
    upstream_ = usersProxy ? ProxyFromFlag(*usersProxy) : QNetworkProxy(QNetworkProxy::NoProxy);
}

HostResolverRules::Mapping NetworkPlaces::Map(const QString &host, int port) const
{
    QMutexLocker lock(&mutex_);
    return rules_.Map(host.toStdString(), port);
}

bool NetworkPlaces::IsUsersNetwork(const QHostAddress &address, int port) const
{
    QHostAddress plain = address;
    plain.setScopeId(QString());
    QMutexLocker lock(&mutex_);
    return IsUsersNetworkEndpoint(plain.toString().toStdString(), port, overrides_);
}

std::optional<bool> NetworkPlaces::KnownPlace(const QString &host, int port) const
{
    const HostResolverRules::Mapping mapping = Map(host, port);
    if (mapping.kind == HostResolverRules::Mapping::NotFound)
        return std::nullopt;
    QString name = host.toLower();
    int to = port;
    if (mapping.kind == HostResolverRules::Mapping::Replaced) {
        name = QString::fromStdString(mapping.host);
        to = mapping.port >= 0 ? mapping.port : port;
    }
    QHostAddress address;
    if (address.setAddress(name))
        return IsUsersNetwork(address, to);
    if (IsLocalhostName(name))
        return IsUsersNetwork(QHostAddress(QHostAddress::LocalHost), to);
    QMutexLocker lock(&mutex_);
    const auto reached = reached_.constFind(Key(host, port));
    return reached == reached_.cend() ? std::nullopt : std::optional<bool>(*reached);
}

void NetworkPlaces::Permit(const QString &host, int port)
{
    QMutexLocker lock(&mutex_);
    permitted_.insert(Key(host, port));
}

bool NetworkPlaces::MayReachUsersNetwork(const QString &host, int port) const
{
    const QString key = Key(host, port);
    QMutexLocker lock(&mutex_);
    return permitted_.contains(key) && reached_.value(key, true);
}

void NetworkPlaces::Record(const QString &host, int port, bool usersNetwork)
{
    QMutexLocker lock(&mutex_);
    // The first place counts: a name that moves to the user's network later
    // is a public host that turned its name against the user.
    reached_.insert(Key(host, port), reached_.value(Key(host, port), usersNetwork));
}

QNetworkProxy NetworkPlaces::Upstream() const
{
    QMutexLocker lock(&mutex_);
    return upstream_;
}

const std::vector<std::string> &LocalNetworkGuardFlags()
{
    if (g_reserved)
        return g_reserved->flags;
    g_reserved = new Reserved;
    std::uint16_t port = 0;
    g_reserved->socket = ListenOnLoopback(&port);
    if (g_reserved->socket != -1) {
        g_reserved->proxy = "socks5://127.0.0.1:" + std::to_string(port);
        // Loopback addresses go through the guard too: the engine would
        // otherwise connect to them itself. WebRTC sends no UDP of its own and
        // reaches its relays through the guard.
        g_reserved->flags = {"--proxy-server=" + g_reserved->proxy, "--proxy-bypass-list=<-loopback>",
                             "--force-webrtc-ip-handling-policy=disable_non_proxied_udp"};
    }
    return g_reserved->flags;
}

void StartLocalNetworkGuard()
{
    if (!g_reserved || g_reserved->started || g_reserved->socket == -1 || !QCoreApplication::instance())
        return;
    g_reserved->started = true;
    NetworkPlaces::Shared().Configure(EngineFlags(), g_reserved->proxy);
    static GuardProxy *proxy = nullptr;
    proxy = new GuardProxy(g_reserved->socket, &NetworkPlaces::Shared());
    // With the application object: the engine, whose connections it carries, goes then too.
    qAddPostRoutine([] {
        delete proxy;
        proxy = nullptr;
    });
}

void PermitUsersLink(const QUrl &url)
{
    if (!url.host().isEmpty())
        NetworkPlaces::Shared().Permit(HostOf(url), PortOf(url));
}

void LocalNetworkGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QUrl target = info.requestUrl();
    if (target.host().isEmpty())
        return;
    const QUrl from = RequestingPage(info);
    // A document the program made itself (about:blank) asks for nothing of a page's.
    if (from.host().isEmpty())
        return;
    NetworkPlaces &places = NetworkPlaces::Shared();
    if (places.KnownPlace(HostOf(from), PortOf(from)).value_or(false)) {
        places.Permit(HostOf(target), PortOf(target));
        return;
    }
    // A public page: what is known to lie on the user's network is refused
    // here, before the request starts; the rest is decided by the address the
    // guard's proxy finds for it.
    if (places.KnownPlace(HostOf(target), PortOf(target)).value_or(false))
        info.block(true);
}

} // namespace corvix
