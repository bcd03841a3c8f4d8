#pragma once
// A small SMTP responder on 127.0.0.1 (a free port) for the mail channel's
// tests: it greets, offers AUTH PLAIN (and no STARTTLS), takes one mail and
// keeps what the client said. Like TestHttpServer it runs on the test's
// thread and answers while the test waits in an event loop.
#include <QByteArray>
#include <QList>
#include <QObject>

class QTcpServer;
class QTcpSocket;

namespace corvix::test {

class TestSmtpServer : public QObject {
    Q_OBJECT
public:
    TestSmtpServer();
    ~TestSmtpServer() override;
    quint16 Port() const;

    // What the next sessions meet: the password that AUTH takes (empty: any),
    // the reply to the end of the mail's data, or no greeting at all.
    void SetPassword(const QByteArray &user, const QByteArray &password);
    void SetDataReply(const QByteArray &reply) { dataReply_ = reply; }
    void SetSilent(bool silent) { silent_ = silent; }

    // What the last session sent.
    QByteArray Login() const { return login_; } // "user\0password" as AUTH PLAIN carries it
    QByteArray MailFrom() const { return mailFrom_; }
    QList<QByteArray> RcptTo() const { return rcptTo_; }
    QByteArray Data() const { return data_; } // the mail, without the final dot line
    QList<QByteArray> Commands() const { return commands_; }

private:
    void OnNewConnection();
    void OnReadyRead(QTcpSocket *socket);
    void Command(QTcpSocket *socket, const QByteArray &line);

    QTcpServer *server_ = nullptr;
    QByteArray user_, password_;
    QByteArray dataReply_ = "250 2.0.0 Ok: queued";
    bool silent_ = false;
    QByteArray login_, mailFrom_, data_;
    QList<QByteArray> rcptTo_, commands_;
};

} // namespace corvix::test
