#include "ui/products/DesktopNotifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantMap>
#include <QWidget>

namespace corvix {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

class TrayNotifier : public DesktopNotifier {
public:
    explicit TrayNotifier(QWidget *window) : tray_(window->windowIcon(), window)
    {
        QObject::connect(&tray_, &QSystemTrayIcon::messageClicked, [this] {
            if (opened_)
                opened_();
        });
    }
    void Notify(const QString &title, const QString &body, std::function<void()> opened) override
    {
        opened_ = std::move(opened);
        tray_.show();
        tray_.showMessage(title, body, QSystemTrayIcon::Information);
    }

private:
    QSystemTrayIcon tray_;
    std::function<void()> opened_;
};

// Without a notification service or a tray: a frameless note at the bottom
// right of the screen, gone after a while or when clicked.
class CornerNote : public QWidget {
public:
    CornerNote(const QString &title, const QString &body, std::function<void()> opened)
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), opened_(std::move(opened))
    {
        setObjectName(QStringLiteral("降价提醒"));
        setAttribute(Qt::WA_DeleteOnClose);
        setStyleSheet(QStringLiteral("background:#fffbe6;border:1px solid #d4a017;"));
        auto *layout = new QVBoxLayout(this);
        auto *heading = new QLabel(QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()));
        auto *text = new QLabel(body);
        text->setStyleSheet(QStringLiteral("border:none;"));
        heading->setStyleSheet(QStringLiteral("border:none;"));
        layout->addWidget(heading);
        layout->addWidget(text);
        adjustSize();
        const QRect screen = QApplication::primaryScreen()->availableGeometry();
        move(screen.right() - width() - 16, screen.bottom() - height() - 16);
        QTimer::singleShot(20000, this, &QWidget::close);
    }

protected:
    void mousePressEvent(QMouseEvent *) override
    {
        if (opened_)
            opened_();
        close();
    }

private:
    std::function<void()> opened_;
};

class CornerNotifier : public DesktopNotifier {
public:
    void Notify(const QString &title, const QString &body, std::function<void()> opened) override
    {
        if (note_)
            note_->close();
        note_ = new CornerNote(title, body, std::move(opened));
        note_->show();
    }
    ~CornerNotifier() override
    {
        if (note_)
            note_->close();
    }

private:
    QPointer<QWidget> note_;
};

} // namespace

bool NotificationServiceAvailable()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(kService).value()
           || bus.interface()->activatableServiceNames().value().contains(kService);
}

std::unique_ptr<DesktopNotifier> MakeDesktopNotifier(QWidget *window)
{
    if (NotificationServiceAvailable())
        return std::make_unique<BusNotifier>();
    if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages())
        return std::make_unique<TrayNotifier>(window);
    return std::make_unique<CornerNotifier>();
}

void BusNotifier::Notify(const QString &title, const QString &body, std::function<void()> opened)
{
    if (!listening_)
        listening_ = bus_.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                                  SLOT(ActionInvoked(uint, QString)));
    opened_ = std::move(opened);
    lastId_ = 0;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("Corvix") << uint(0) << QStringLiteral("corvix") << title << body
         << QStringList{QStringLiteral("default"), QStringLiteral("打开")} << QVariantMap() << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answered) {
        const QDBusPendingReply<uint> reply = *answered;
        lastId_ = reply.isValid() ? reply.value() : 0;
        answered->deleteLater();
    });
}

void BusNotifier::ActionInvoked(uint id, const QString &)
{
    if (id == lastId_ && lastId_ != 0 && opened_)
        opened_();
}

} // namespace corvix
