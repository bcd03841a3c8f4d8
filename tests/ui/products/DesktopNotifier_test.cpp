// The notice over a real session bus, to a notification service of the test's
// own (dbus-run-session gives the bus).
#include "common/BrowserTestSupport.h"
#include "ui/products/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

namespace corvix {
namespace {

// Answers Notify with id 7 and then clicks the notice, as a desktop would.
class FakeNotifications : public QDBusVirtualObject {
public:
    QString summary, body;

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QStringLiteral("Notify") || message.arguments().size() != 8)
            return false;
        summary = message.arguments()[3].toString();
        body = message.arguments()[4].toString();
        QDBusConnection bus = connection;
        bus.send(message.createReply(QVariant::fromValue(uint(7))));
        QDBusMessage click = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                        QStringLiteral("org.freedesktop.Notifications"),
                                                        QStringLiteral("ActionInvoked"));
        click << uint(7) << QStringLiteral("default");
        return bus.send(click);
    }
};

TEST(BusNotifier, TheServiceShowsTheNoticeAndItsClickOpens)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")).isEmpty())
        GTEST_SKIP() << "dbus-run-session is not installed";
    QProcess session;
    session.start(QStringLiteral("dbus-run-session"),
                  {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                   QStringLiteral("echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec cat")});
    ASSERT_TRUE(session.waitForReadyRead(10000)) << session.readAllStandardError().toStdString();
    const QString address = QString::fromUtf8(session.readLine()).trimmed();
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
        QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("client"));
        ASSERT_TRUE(service.isConnected());
        FakeNotifications fake;
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(service.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &fake));
        BusNotifier notifier(client);
        bool opened = false;
        notifier.Notify(QStringLiteral("降价提醒：1 个价格"), QStringLiteral("A | X | 20 → 12"), [&] { opened = true; });
        EXPECT_TRUE(test::WaitUntil([&] { return opened; }, 10000));
        EXPECT_EQ(fake.summary, QStringLiteral("降价提醒：1 个价格"));
        EXPECT_EQ(fake.body, QStringLiteral("A | X | 20 → 12"));
        EXPECT_EQ(notifier.LastId(), 7u);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    session.closeWriteChannel(); // cat ends, and the bus with it
    session.waitForFinished(10000);
}

} // namespace
} // namespace corvix
