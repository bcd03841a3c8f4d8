#pragma once
// A small HTTP server on 127.0.0.1 (a free port) that serves fixture pages to the
// browser tests. It runs on the test's thread: requests are answered while the
// test waits in an event loop (QTRY_*, QSignalSpy::wait, WaitUntil).
//
//   TestHttpServer server;
//   server.Route("/gbk", PageFixture("gbk.html"), "text/html; charset=gbk");
//   view.Navigate(server.Url("/gbk"));
//
// Routes match the path without its query. Unknown paths get 404. Every answer
// closes its connection. Every request is kept whole (method, target, headers,
// body), so that a test can check exactly what a client sent.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

namespace corvix::test {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// One request as it arrived.
struct HttpRequestSeen {
    QByteArray method;
    QString target;     // path and query, as sent
    QByteArray headers; // the raw header block, without the request line
    QByteArray body;
    // The value of the first header of that name (any case); empty when none.
    QByteArray Header(const QByteArray &name) const;
};

class TestHttpServer : public QObject {
    Q_OBJECT
public:
    TestHttpServer();
    ~TestHttpServer() override;

    // Answers path with status 200, the body and its content type, plus extra headers.
    void Route(const QString &path, const QByteArray &body, const QByteArray &contentType = "text/html; charset=utf-8",
               const HttpHeaders &headers = {});
    // The same, after delayMs.
    void RouteDelayed(const QString &path, int delayMs, const QByteArray &body,
                      const QByteArray &contentType = "text/html; charset=utf-8");
    // Accepts the request and never answers.
    void RouteHang(const QString &path);
    // Answers with a redirect (302) to location.
    void RouteRedirect(const QString &path, const QString &location);
    // Answers with the status and body.
    void RouteStatus(const QString &path, int status, const QByteArray &body = {},
                     const QByteArray &contentType = "text/html; charset=utf-8");
    // One answer per request in turn, the last one for every later request;
    // a status of 0 never answers.
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        HttpHeaders headers = {};
    };
    void RouteReplies(const QString &path, const QList<Reply> &replies);

    QString Url(const QString &path) const;
    quint16 Port() const;

    // The paths (with query) of every request so far, in order of arrival.
    QStringList RequestedPaths() const { return requested_; }
    // The most requests to one host name (the Host header without its port,
    // lower-cased) that were under way at the same time: from the arrival of a
    // request until its connection closed.
    QMap<QString, int> MostInFlightPerHost() const { return mostInFlight_; }
    // The raw header block of the last request for path (without the request line).
    QByteArray LastRequestHeaders(const QString &path) const { return lastHeaders_.value(path); }
    // Every request so far, whole, in order of arrival.
    const QList<HttpRequestSeen> &Requests() const { return requests_; }

private:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType;
        HttpHeaders headers;
        int delayMs = 0;
        bool hang = false;
    };
    void OnNewConnection();
    void OnReadyRead(QTcpSocket *socket);
    void CountInFlight(QTcpSocket *socket, const QByteArray &headers);
    static void Send(QTcpSocket *socket, const Answer &answer);

    QTcpServer *server_ = nullptr;
    QMap<QString, Answer> routes_;
    QMap<QString, QList<Answer>> sequences_;
    QStringList requested_;
    QList<HttpRequestSeen> requests_;
    QMap<QString, QByteArray> lastHeaders_;
    QMap<QString, int> inFlight_;
    QMap<QString, int> mostInFlight_;
};

// The bytes of tests/fixtures/pages/<name>.
QByteArray PageFixture(const QString &name);

} // namespace corvix::test
