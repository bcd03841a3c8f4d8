#pragma once
// A notice on the desktop: over the freedesktop notification service on the
// session bus where one runs, else as a message of a tray icon, else as a
// small window in the corner of the screen. A click on it calls opened.
#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace corvix {

class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    virtual void Notify(const QString &title, const QString &body, std::function<void()> opened) = 0;
};

// The notifier the desktop offers; window gives the icon.
std::unique_ptr<DesktopNotifier> MakeDesktopNotifier(QWidget *window);

// The freedesktop service of the session bus, when it runs or can be started.
bool NotificationServiceAvailable();

// Over org.freedesktop.Notifications: the notice's default action opens. The
// call does not wait for the service: the window goes on meanwhile.
class BusNotifier : public QObject, public DesktopNotifier {
    Q_OBJECT
public:
    explicit BusNotifier(QDBusConnection bus = QDBusConnection::sessionBus()) : bus_(std::move(bus)) {}
    void Notify(const QString &title, const QString &body, std::function<void()> opened) override;
    // The id the service gave the last notice, 0 when it refused it.
    uint LastId() const { return lastId_; }

private slots:
    void ActionInvoked(uint id, const QString &action);

private:
    QDBusConnection bus_;
    uint lastId_ = 0;
    bool listening_ = false;
    std::function<void()> opened_;
};

} // namespace corvix
