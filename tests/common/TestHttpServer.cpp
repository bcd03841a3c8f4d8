#include "common/TestHttpServer.h"

#include <algorithm>

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace corvix::test {
namespace {

QByteArray ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// The length the request's headers give its body.
qsizetype ContentLength(const QByteArray &headers)
{
    for (const QByteArray &line : headers.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("Content-Length", Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed().toLongLong();
    }
    return 0;
}

} // namespace

QByteArray HttpRequestSeen::Header(const QByteArray &name) const
{
    for (const QByteArray &line : headers.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

TestHttpServer::TestHttpServer() : server_(new QTcpServer(this))
{
    server_->listen(QHostAddress::LocalHost, 0);
    connect(server_, &QTcpServer::newConnection, this, &TestHttpServer::OnNewConnection);
}

TestHttpServer::~TestHttpServer()
{
    server_->close();
}

void TestHttpServer::Route(const QString &path, const QByteArray &body, const QByteArray &contentType,
                           const HttpHeaders &headers)
{
    routes_[path] = Answer{200, body, contentType, headers, 0, false};
}

void TestHttpServer::RouteDelayed(const QString &path, int delayMs, const QByteArray &body,
                                  const QByteArray &contentType)
{
    routes_[path] = Answer{200, body, contentType, {}, delayMs, false};
}

void TestHttpServer::RouteHang(const QString &path)
{
    routes_[path] = Answer{200, {}, {}, {}, 0, true};
}

void TestHttpServer::RouteStatus(const QString &path, int status, const QByteArray &body,
                                 const QByteArray &contentType)
{
    routes_[path] = Answer{status, body, contentType, {}, 0, false};
}

void TestHttpServer::RouteRedirect(const QString &path, const QString &location)
{
    routes_[path] = Answer{302, {}, {}, {{"Location", location.toUtf8()}}, 0, false};
}

void TestHttpServer::RouteReplies(const QString &path, const QList<Reply> &replies)
{
    QList<Answer> answers;
    for (const Reply &reply : replies)
        answers.append(Answer{reply.status, reply.body, reply.contentType, reply.headers, 0, reply.status == 0});
    sequences_[path] = answers;
}

QString TestHttpServer::Url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(Port()).arg(path);
}

quint16 TestHttpServer::Port() const
{
    return server_->serverPort();
}

void TestHttpServer::OnNewConnection()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestHttpServer::OnReadyRead(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("request").toByteArray() + socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    const qsizetype lineEnd = buffer.indexOf("\r\n");
    const QByteArray headers = end < 0 ? QByteArray() : buffer.mid(lineEnd + 2, end - lineEnd - 2);
    // The whole body first: a POST may come in several pieces.
    if (end < 0 || buffer.size() < end + 4 + ContentLength(headers)) {
        socket->setProperty("request", buffer);
        return;
    }
    socket->setProperty("request", QByteArray());
    const QList<QByteArray> requestLine = buffer.left(lineEnd).split(' ');
    const QString target = requestLine.size() > 1 ? QString::fromLatin1(requestLine[1]) : QStringLiteral("/");
    const QString path = target.section(QLatin1Char('?'), 0, 0);
    requested_ << target;
    lastHeaders_[path] = headers;
    CountInFlight(socket, headers);
    requests_.append({requestLine.value(0), target, headers, buffer.mid(end + 4, ContentLength(headers))});

    Answer answer{404, "not found", "text/plain", {}, 0, false};
    if (auto sequence = sequences_.find(path); sequence != sequences_.end() && !sequence->isEmpty())
        answer = sequence->size() > 1 ? sequence->takeFirst() : sequence->first();
    else if (const auto route = routes_.constFind(path); route != routes_.constEnd())
        answer = *route;
    if (answer.hang)
        return;
    if (answer.delayMs > 0) {
        QTimer::singleShot(answer.delayMs, socket, [socket, answer] { Send(socket, answer); });
        return;
    }
    Send(socket, answer);
}

void TestHttpServer::CountInFlight(QTcpSocket *socket, const QByteArray &headers)
{
    QString host;
    for (const QByteArray &line : headers.split('\n'))
        if (line.toLower().startsWith("host:"))
            host = QString::fromLatin1(line.mid(5).trimmed()).section(QLatin1Char(':'), 0, 0).toLower();
    const int now = ++inFlight_[host];
    mostInFlight_[host] = std::max(mostInFlight_.value(host), now);
    // Counted once per connection: every answer closes it.
    connect(socket, &QTcpSocket::disconnected, this, [this, host] { --inFlight_[host]; });
}

void TestHttpServer::Send(QTcpSocket *socket, const Answer &answer)
{
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + ReasonPhrase(answer.status) + "\r\n";
    if (!answer.contentType.isEmpty())
        reply += "Content-Type: " + answer.contentType + "\r\n";
    reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    reply += "Cache-Control: no-store\r\nConnection: close\r\n";
    for (const auto &[name, value] : answer.headers)
        reply += name + ": " + value + "\r\n";
    reply += "\r\n" + answer.body;
    socket->write(reply);
    socket->disconnectFromHost();
}

QByteArray PageFixture(const QString &name)
{
    QFile file(QStringLiteral(CORVIX_FIXTURES_DIR "/pages/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace corvix::test
