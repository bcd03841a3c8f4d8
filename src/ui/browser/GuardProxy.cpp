#include "ui/browser/GuardProxy.h"

#include "ui/browser/LocalNetworkGuard.h"

#include <QCoreApplication>
#include <QtEndian>
#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>

namespace corvix {
namespace {

// SOCKS5 (RFC 1928), as far as the engine speaks it: no authentication, CONNECT.
constexpr char kVersion = 5;
constexpr quint8 kSucceeded = 0, kNotAllowed = 2, kHostUnreachable = 4, kRefused = 5, kCommandUnknown = 7,
                 kAddressTypeUnknown = 8;

// Each side holds at most this much that the other has not taken yet: a page
// that is read slowly slows its server, instead of filling the memory.
constexpr qint64 kBuffered = 256 * 1024;
// How long a name keeps the addresses it was resolved to. A name that answers
// differently later gains nothing by it: each connection goes to the address
// that was checked.
constexpr int kNameLifeMs = 60 * 1000;

struct Resolved {
    QList<QHostAddress> addresses;
    QDeadlineTimer expires;
};

// One connection of the engine: the handshake, the choice of address, then the bytes.
class Tunnel : public QObject {
public:
    Tunnel(QTcpSocket *client, NetworkPlaces &places, QHash<QString, Resolved> &names, QObject *parent)
        : QObject(parent), client_(client), places_(places), names_(names)
    {
        client_->setParent(this);
        client_->setReadBufferSize(kBuffered);
        connect(client_, &QTcpSocket::readyRead, this, &Tunnel::OnClientData);
        connect(client_, &QTcpSocket::disconnected, this, &Tunnel::OnClosed);
    }

private:
    void OnClientData()
    {
        if (target_ && target_->state() == QAbstractSocket::ConnectedState) {
            Pump(client_, target_);
            return;
        }
        if (asked_)
            return; // bytes before the answer wait in the socket
        in_ += client_->readAll();
        if (!greeted_) {
            if (in_.size() < 2 || in_.size() < 2 + static_cast<quint8>(in_[1]))
                return;
            const QByteArray methods = in_.mid(2, static_cast<quint8>(in_[1]));
            const bool plain = in_[0] == kVersion && methods.contains('\0');
            in_.remove(0, 2 + static_cast<quint8>(in_[1]));
            const char answer[] = {kVersion, plain ? '\0' : '\xff'};
            client_->write(answer, sizeof(answer));
            if (!plain)
                return Close();
            greeted_ = true;
        }
        ReadRequest();
    }

    void ReadRequest()
    {
        if (in_.size() < 5)
            return;
        const auto type = static_cast<quint8>(in_[3]);
        const int addressSize = type == 1 ? 4 : type == 4 ? 16 : type == 3 ? 1 + static_cast<quint8>(in_[4]) : -1;
        if (addressSize < 0 || in_[0] != kVersion)
            return Refuse(kAddressTypeUnknown);
        if (in_.size() < 4 + addressSize + 2)
            return;
        asked_ = true;
        if (in_[1] != 1)
            return Refuse(kCommandUnknown);
        const QByteArray address = in_.mid(4, addressSize);
        if (type == 3)
            host_ = QString::fromLatin1(address.mid(1));
        else if (type == 1)
            host_ = QHostAddress(qFromBigEndian<quint32>(address.constData())).toString();
        else
            host_ = QHostAddress(reinterpret_cast<const quint8 *>(address.constData())).toString();
        port_ = static_cast<quint8>(in_[4 + addressSize]) << 8 | static_cast<quint8>(in_[5 + addressSize]);
        in_.clear();
        Resolve();
    }

    // The engine's resolver rules first, as the engine would apply them.
    void Resolve()
    {
        const HostResolverRules::Mapping mapping = places_.Map(host_, port_);
        if (mapping.kind == HostResolverRules::Mapping::NotFound)
            return Refuse(kHostUnreachable);
        QString name = host_;
        connectPort_ = port_;
        if (mapping.kind == HostResolverRules::Mapping::Replaced) {
            name = QString::fromStdString(mapping.host);
            connectPort_ = mapping.port >= 0 ? mapping.port : port_;
        }
        name = name.toLower();
        if (name.startsWith(u'[') && name.endsWith(u']'))
            name = name.mid(1, name.size() - 2);
        QHostAddress literal;
        if (literal.setAddress(name))
            return Choose({literal}, name);
        // The engine answers these with the loopback address itself.
        if (name == QLatin1String("localhost") || name.endsWith(QLatin1String(".localhost")))
            return Choose({QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}, name);
        const auto known = names_.constFind(name);
        if (known != names_.cend() && !known->expires.hasExpired())
            return Choose(known->addresses, name);
        QHostInfo::lookupHost(name, this, [this, name](const QHostInfo &info) {
            if (info.error() == QHostInfo::NoError && !info.addresses().isEmpty())
                names_.insert(name, {info.addresses(), QDeadlineTimer(kNameLifeMs)});
            Choose(info.addresses(), name);
        });
    }

    // Keeps the addresses that host may reach, and connects to the first that answers.
    void Choose(const QList<QHostAddress> &addresses, const QString &name)
    {
        const bool mayReachUsersNetwork = places_.MayReachUsersNetwork(host_, port_);
        bool forbidden = false;
        for (const QHostAddress &address : addresses) {
            if (!places_.IsUsersNetwork(address, connectPort_) || mayReachUsersNetwork)
                candidates_.append(address);
            else
                forbidden = true;
        }
        upstream_ = places_.Upstream();
        // Behind a proxy of the user's, a name this machine cannot resolve is
        // the proxy's to resolve, on its side.
        if (addresses.isEmpty() && upstream_.type() != QNetworkProxy::NoProxy) {
            byName_ = name;
            return Connect();
        }
        if (candidates_.isEmpty())
            return Refuse(forbidden ? kNotAllowed : kHostUnreachable);
        Connect();
    }

    void Connect()
    {
        if (target_)
            target_->deleteLater();
        target_ = new QTcpSocket(this);
        target_->setProxy(upstream_);
        target_->setReadBufferSize(kBuffered);
        connect(target_, &QTcpSocket::connected, this, &Tunnel::OnConnected);
        connect(target_, &QTcpSocket::errorOccurred, this, [this, target = target_] {
            if (target != target_)
                return;
            if (target_->state() != QAbstractSocket::ConnectedState && !relaying_) {
                if (!candidates_.isEmpty())
                    candidates_.removeFirst();
                if (!candidates_.isEmpty() && byName_.isEmpty())
                    return Connect();
                return Refuse(kRefused);
            }
        });
        if (byName_.isEmpty())
            target_->connectToHost(candidates_.first(), static_cast<quint16>(connectPort_));
        else
            target_->connectToHost(byName_, static_cast<quint16>(connectPort_));
    }

    void OnConnected()
    {
        const bool usersNetwork = byName_.isEmpty() && places_.IsUsersNetwork(candidates_.first(), connectPort_);
        places_.Record(host_, port_, usersNetwork);
        relaying_ = true;
        // The engine reads the bound address only to skip it.
        const char answer[] = {kVersion, static_cast<char>(kSucceeded), 0, 1, 0, 0, 0, 0, 0, 0};
        client_->write(answer, sizeof(answer));
        connect(target_, &QTcpSocket::readyRead, this, [this] { Pump(target_, client_); });
        connect(target_, &QTcpSocket::bytesWritten, this, [this] { Pump(client_, target_); });
        connect(client_, &QTcpSocket::bytesWritten, this, [this] { Pump(target_, client_); });
        connect(target_, &QTcpSocket::disconnected, this, &Tunnel::OnClosed);
        Pump(client_, target_);
    }

    void Pump(QTcpSocket *from, QTcpSocket *to)
    {
        while (from->bytesAvailable() > 0 && to->bytesToWrite() < kBuffered)
            to->write(from->read(std::min<qint64>(from->bytesAvailable(), kBuffered)));
    }

    // One side has closed: what it sent still goes to the other, which is then closed too.
    void OnClosed()
    {
        if (!relaying_)
            return Close();
        for (auto [from, to] : {std::pair{client_, target_}, std::pair{target_, client_}}) {
            if (from->state() == QAbstractSocket::UnconnectedState && from->bytesAvailable() > 0)
                to->write(from->readAll());
        }
        client_->disconnectFromHost();
        target_->disconnectFromHost();
        if (client_->state() == QAbstractSocket::UnconnectedState
            && target_->state() == QAbstractSocket::UnconnectedState)
            deleteLater();
    }

    void Refuse(quint8 code)
    {
        asked_ = true;
        const char answer[] = {kVersion, static_cast<char>(code), 0, 1, 0, 0, 0, 0, 0, 0};
        client_->write(answer, sizeof(answer));
        Close();
    }

    void Close()
    {
        if (target_)
            target_->abort();
        client_->disconnectFromHost();
        if (client_->state() == QAbstractSocket::UnconnectedState)
            deleteLater();
        else
            connect(client_, &QTcpSocket::disconnected, this, &QObject::deleteLater, Qt::UniqueConnection);
    }

    QTcpSocket *client_;
    QTcpSocket *target_ = nullptr;
    NetworkPlaces &places_;
    QHash<QString, Resolved> &names_;
    QByteArray in_;
    bool greeted_ = false;
    bool asked_ = false;
    bool relaying_ = false;
    QString host_;
    int port_ = 0;
    int connectPort_ = 0;
    QList<QHostAddress> candidates_;
    QNetworkProxy upstream_{QNetworkProxy::NoProxy};
    QString byName_;
};

class ProxyServer : public QObject {
public:
    ProxyServer(std::intptr_t socket, NetworkPlaces *places) : socket_(socket), places_(places) {}

    // In the proxy's thread.
    void Listen()
    {
        server_ = new QTcpServer(this);
        server_->setSocketDescriptor(static_cast<qintptr>(socket_));
        connect(server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = server_->nextPendingConnection())
                new Tunnel(client, *places_, names_, this);
        });
    }

private:
    std::intptr_t socket_;
    NetworkPlaces *places_;
    QTcpServer *server_ = nullptr;
    QHash<QString, Resolved> names_;
};

} // namespace

GuardProxy::GuardProxy(std::intptr_t listeningSocket, NetworkPlaces *places) : thread_(std::make_unique<QThread>())
{
    thread_->setObjectName(QStringLiteral("Corvix network guard"));
    auto *server = new ProxyServer(listeningSocket, places);
    server->moveToThread(thread_.get());
    QObject::connect(thread_.get(), &QThread::finished, server, &QObject::deleteLater);
    QObject::connect(thread_.get(), &QThread::started, server, [server] { server->Listen(); });
    thread_->start();
}

GuardProxy::~GuardProxy()
{
    thread_->quit();
    thread_->wait();
}

} // namespace corvix
