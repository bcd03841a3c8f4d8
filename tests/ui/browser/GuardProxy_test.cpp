// The network guard's proxy on its own, asked as the browser engine asks it:
// which connections it makes and which it refuses, by the address a name leads to.
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "support/Platform.h"
#include "ui/browser/GuardProxy.h"
#include "ui/browser/LocalNetworkGuard.h"

#include <QHostInfo>
#include <QHostAddress>
#include <QTcpSocket>
#include <gtest/gtest.h>

using namespace corvix;

namespace {

// What the proxy answers the engine's request for host:port ("\x05\x00..."
// when it connects), and then what the server answers through it.
struct Outcome {
    int reply = -1; // the SOCKS reply code
    QByteArray answer;
};

Outcome Ask(quint16 proxyPort, const QString &host, quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, proxyPort);
    const QByteArray name = host.toLatin1();
    socket.write(QByteArray("\x05\x01\x00\x05\x01\x00\x03", 7) + char(name.size()) + name + char(port >> 8)
                 + char(port & 0xff));
    QByteArray received;
    bool closed = false;
    QObject::connect(&socket, &QTcpSocket::disconnected, [&closed] { closed = true; });
    test::WaitUntil([&] {
        received += socket.readAll();
        if (received.size() == 12 && received[3] == 0)
            socket.write("GET /here HTTP/1.1\r\nHost: x\r\n\r\n");
        return closed;
    }, 10000);
    received += socket.readAll();
    Outcome outcome;
    if (received.size() >= 4)
        outcome.reply = received[3];
    outcome.answer = received.mid(12);
    return outcome;
}

} // namespace

TEST(GuardProxy, RefusesTheUsersNetworkByTheAddressANameLeadsTo)
{
    test::TestHttpServer shop, own;
    shop.Route(QStringLiteral("/here"), "shop");
    own.Route(QStringLiteral("/here"), "own");
    NetworkPlaces places;
    places.Configure({"--host-resolver-rules=MAP gone.test ~NOTFOUND, MAP *.test 127.0.0.1",
                      "--ip-address-space-overrides=127.0.0.1:" + std::to_string(shop.Port()) + "=public"},
                     "");
    places.Permit(QStringLiteral("mine.test"), own.Port());
    // A name that led to a public server first, and to the user's machine now.
    places.Record(QStringLiteral("moved.test"), own.Port(), false);
    places.Permit(QStringLiteral("moved.test"), own.Port());
    std::uint16_t port = 0;
    const GuardProxy proxy(ListenOnLoopback(&port), &places);

    constexpr int connected = 0, refused = 2, unknown = 4;
    struct Row {
        const char *what;
        QString host;
        quint16 port;
        int reply;
        QByteArray answer;
    };
    std::vector<Row> rows = {
        {"a public server by its address", QStringLiteral("127.0.0.1"), shop.Port(), connected, "shop"},
        {"a public server by a name", QStringLiteral("shop.test"), shop.Port(), connected, "shop"},
        {"the user's machine by its address", QStringLiteral("127.0.0.1"), own.Port(), refused, {}},
        {"the user's machine by a name the resolver rules lead there", QStringLiteral("own.test"), own.Port(), refused, {}},
        {"the user's machine as localhost", QStringLiteral("localhost"), own.Port(), refused, {}},
        {"a link of the user's that leads there", QStringLiteral("mine.test"), own.Port(), connected, "own"},
        {"a name that led to a public server first", QStringLiteral("moved.test"), own.Port(), refused, {}},
        {"a name that leads nowhere", QStringLiteral("gone.test"), own.Port(), unknown, {}},
    };
    // A name the system's resolver answers (a hosts entry): the machine's own,
    // where it leads to the machine or its network.
    const QHostInfo machine = QHostInfo::fromName(QHostInfo::localHostName());
    if (!machine.addresses().isEmpty() && places.IsUsersNetwork(machine.addresses().constFirst(), own.Port()))
        rows.push_back({"the machine by its own name", QHostInfo::localHostName(), own.Port(), refused, {}});
    for (const Row &row : rows) {
        const Outcome outcome = Ask(port, row.host, row.port);
        EXPECT_EQ(outcome.reply, row.reply) << row.what;
        EXPECT_TRUE(row.answer.isEmpty() ? outcome.answer.isEmpty() : outcome.answer.endsWith(row.answer))
            << row.what << ": " << outcome.answer.toStdString();
    }
    EXPECT_EQ(own.RequestedPaths().size(), 1);
}

// A proxy the user gave the engine is where the guard's connections go out:
// here another guard, which first takes the shop for the user's own machine.
TEST(GuardProxy, BehindAProxyOfTheUsersConnectsThroughIt)
{
    test::TestHttpServer shop;
    shop.Route(QStringLiteral("/here"), "shop");
    const std::string overrides = "--ip-address-space-overrides=127.0.0.1:" + std::to_string(shop.Port()) + "=public";
    NetworkPlaces usersPlaces;
    std::uint16_t usersPort = 0;
    const GuardProxy usersProxy(ListenOnLoopback(&usersPort), &usersPlaces);
    NetworkPlaces places;
    places.Configure({"--proxy-server=socks5://127.0.0.1:" + std::to_string(usersPort), overrides,
                      "--proxy-server=socks5://127.0.0.1:1"},
                     "socks5://127.0.0.1:1");
    std::uint16_t port = 0;
    const GuardProxy proxy(ListenOnLoopback(&port), &places);
    EXPECT_TRUE(Ask(port, QStringLiteral("127.0.0.1"), shop.Port()).answer.isEmpty()) << "refused behind";
    usersPlaces.Configure({overrides}, "");
    EXPECT_TRUE(Ask(port, QStringLiteral("127.0.0.1"), shop.Port()).answer.endsWith("shop"));
}
