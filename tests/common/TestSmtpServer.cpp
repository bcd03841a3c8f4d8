#include "common/TestSmtpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace corvix::test {

TestSmtpServer::TestSmtpServer() : server_(new QTcpServer(this))
{
    server_->listen(QHostAddress::LocalHost, 0);
    connect(server_, &QTcpServer::newConnection, this, &TestSmtpServer::OnNewConnection);
}

TestSmtpServer::~TestSmtpServer()
{
    server_->close();
}

quint16 TestSmtpServer::Port() const
{
    return server_->serverPort();
}

void TestSmtpServer::SetPassword(const QByteArray &user, const QByteArray &password)
{
    user_ = user;
    password_ = password;
}

void TestSmtpServer::OnNewConnection()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (!silent_) {
            login_.clear();
            mailFrom_.clear();
            data_.clear();
            rcptTo_.clear();
            commands_.clear();
            socket->write("220 localhost ESMTP test\r\n");
        }
    }
}

void TestSmtpServer::OnReadyRead(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    for (;;) {
        if (socket->property("inData").toBool()) {
            // The data may start with the final dot line itself.
            const qsizetype end = buffer.startsWith(".\r\n") ? -2 : buffer.indexOf("\r\n.\r\n");
            if (end == -1)
                break;
            data_ = end < 0 ? QByteArray() : buffer.left(end + 2);
            buffer = buffer.mid(end < 0 ? 3 : end + 5);
            socket->setProperty("inData", false);
            socket->write(dataReply_ + "\r\n");
            continue;
        }
        const qsizetype lineEnd = buffer.indexOf("\r\n");
        if (lineEnd < 0)
            break;
        const QByteArray line = buffer.left(lineEnd);
        buffer = buffer.mid(lineEnd + 2);
        Command(socket, line);
    }
    socket->setProperty("buffer", buffer);
}

void TestSmtpServer::Command(QTcpSocket *socket, const QByteArray &line)
{
    commands_ << line;
    const QByteArray verb = line.left(line.indexOf(' ') < 0 ? line.size() : line.indexOf(' ')).toUpper();
    const auto checkLogin = [this, socket](const QByteArray &encoded) {
        login_ = QByteArray::fromBase64(encoded).mid(1); // "\0user\0password" without the first zero
        const bool accepted = password_.isEmpty() || login_ == user_ + '\0' + password_;
        socket->write(accepted ? "235 2.7.0 Authentication successful\r\n" : "535 5.7.8 Authentication failed\r\n");
    };
    if (socket->property("awaitingLogin").toBool()) {
        socket->setProperty("awaitingLogin", false);
        checkLogin(line);
    } else if (verb == "EHLO" || verb == "HELO") {
        socket->write("250-localhost\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n");
    } else if (verb == "AUTH") {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() > 2) {
            checkLogin(parts[2]);
        } else {
            socket->setProperty("awaitingLogin", true);
            socket->write("334 \r\n");
        }
    } else if (verb == "MAIL") {
        mailFrom_ = line.mid(line.indexOf(':') + 1);
        socket->write("250 2.1.0 Ok\r\n");
    } else if (verb == "RCPT") {
        rcptTo_ << line.mid(line.indexOf(':') + 1);
        socket->write("250 2.1.5 Ok\r\n");
    } else if (verb == "DATA") {
        socket->setProperty("inData", true);
        socket->write("354 End data with <CR><LF>.<CR><LF>\r\n");
    } else if (verb == "QUIT") {
        socket->write("221 2.0.0 Bye\r\n");
        socket->disconnectFromHost();
    } else {
        socket->write("502 5.5.2 Error: command not recognized\r\n");
    }
}

} // namespace corvix::test
