#pragma once
// The program's own requests to other machines: an HTTP POST and a mail over
// SMTP, both through libcurl. A call blocks its thread until the answer, its
// time limit or a cancel; it never throws, and what went wrong comes back as
// a value. Only http(s) and smtp(s) addresses are used: an address typed into
// a setting can never read a local file or start another protocol.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <atomic>

namespace corvix {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct HttpRequest {
    QByteArray url;
    HeaderList headers; // besides those libcurl writes (Host, Content-Length)
    QByteArray body;    // sent with POST
};

enum class MailSecurity {
    Tls,      // smtps: encrypted from the first byte
    StartTls, // smtp, then STARTTLS, which must succeed before anything else is sent
    None,     // plain smtp, for a relay on the machine itself
};

struct MailRequest {
    QByteArray host;
    int port = 465;
    MailSecurity security = MailSecurity::Tls;
    QByteArray user;     // empty: no login
    QByteArray password;
    QByteArray from;     // the envelope's sender address
    QList<QByteArray> to;
    QByteArray message;  // the whole mail, headers and body, CR LF lines
};

// Why no answer came. Cancelled: the caller's flag was set. BadAddress: the
// address cannot be sent to (malformed, or of another protocol).
enum class TransferError {
    None, Timeout, Resolve, Connect, Tls, LoginDenied, StartTlsRefused, Cancelled, BadAddress, Other
};

struct TransferAnswer {
    TransferError error = TransferError::None;
    int code = 0;    // the HTTP status, or the SMTP server's last reply code; 0 when none came
    QByteArray body; // the HTTP answer's body
    QByteArray retryAfter; // the HTTP "Retry-After" header, when the server sent one
    QString detail;  // libcurl's words for an error (no address in them)
};

// Posts request; cancel (may be null) is read while the request runs.
TransferAnswer PostHttp(const HttpRequest &request, int timeoutMs, const std::atomic_bool *cancel);
TransferAnswer SendMail(const MailRequest &request, int timeoutMs, const std::atomic_bool *cancel);

} // namespace corvix
