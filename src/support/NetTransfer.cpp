#include "support/NetTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace corvix {
namespace {

void InitOnce()
{
    // Not thread-safe in every libcurl release: done once, before any handle.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL *handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using List = std::unique_ptr<curl_slist, ListDeleter>;

void Append(List &list, const QByteArray &line)
{
    curl_slist *grown = curl_slist_append(list.get(), line.constData());
    if (grown) {
        (void)list.release();
        list.reset(grown);
    }
}

size_t Collect(char *data, size_t size, size_t count, void *target)
{
    static_cast<QByteArray *>(target)->append(data, static_cast<qsizetype>(size * count));
    return size * count;
}

size_t CollectHeader(char *data, size_t size, size_t count, void *target)
{
    const QByteArray line(data, static_cast<qsizetype>(size * count));
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && line.left(colon).trimmed().compare("Retry-After", Qt::CaseInsensitive) == 0)
        *static_cast<QByteArray *>(target) = line.mid(colon + 1).trimmed();
    return size * count;
}

struct Upload {
    const QByteArray *bytes;
    qsizetype at = 0;
};

size_t Feed(char *buffer, size_t size, size_t count, void *source)
{
    auto *upload = static_cast<Upload *>(source);
    const size_t left = static_cast<size_t>(upload->bytes->size() - upload->at);
    const size_t n = std::min(left, size * count);
    std::memcpy(buffer, upload->bytes->constData() + upload->at, n);
    upload->at += static_cast<qsizetype>(n);
    return n;
}

int Progress(void *cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *flag = static_cast<const std::atomic_bool *>(cancel);
    return flag && flag->load() ? 1 : 0;
}

// Proxies set in the environment are used, but never for the machine itself.
QByteArray NoProxyList()
{
    QByteArray list = qgetenv("no_proxy");
    if (list.isEmpty())
        list = qgetenv("NO_PROXY");
    if (!list.isEmpty())
        list += ',';
    return list + "localhost,127.0.0.1,::1";
}

TransferError ErrorOf(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return TransferError::None;
    case CURLE_OPERATION_TIMEDOUT:
        return TransferError::Timeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return TransferError::Resolve;
    case CURLE_COULDNT_CONNECT:
        return TransferError::Connect;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return TransferError::Tls;
    case CURLE_LOGIN_DENIED:
        return TransferError::LoginDenied;
    case CURLE_USE_SSL_FAILED:
        return TransferError::StartTlsRefused;
    case CURLE_ABORTED_BY_CALLBACK:
        return TransferError::Cancelled;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return TransferError::BadAddress;
    default:
        return TransferError::Other;
    }
}

// One request's handle with the settings every request shares: its time, the
// cancel flag, no signals (the calls run on worker threads), no address from
// the environment's proxy for the machine itself. The error buffer and the
// proxy exceptions live as long as the handle that points at them.
class Transfer {
public:
    Transfer(int timeoutMs, const std::atomic_bool *cancel) : noProxy_(NoProxyList())
    {
        InitOnce();
        handle_.reset(curl_easy_init());
        if (!handle_)
            return;
        CURL *handle = handle_.get();
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errors_);
        curl_easy_setopt(handle, CURLOPT_NOPROXY, noProxy_.constData());
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &Progress);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool *>(cancel));
    }
    Transfer(const Transfer &) = delete;
    Transfer &operator=(const Transfer &) = delete;

    // Null when libcurl could not make one (NoHandle says so).
    CURL *Handle() const { return handle_.get(); }
    static TransferAnswer NoHandle() { return {TransferError::Other, 0, {}, {}, QStringLiteral("libcurl 无法初始化")}; }

    // Runs the request: its error kind, the status the server answered and,
    // on failure, libcurl's reason.
    TransferAnswer Perform()
    {
        const CURLcode code = curl_easy_perform(handle_.get());
        TransferAnswer answer;
        answer.error = ErrorOf(code);
        long status = 0;
        curl_easy_getinfo(handle_.get(), CURLINFO_RESPONSE_CODE, &status);
        answer.code = static_cast<int>(status);
        if (code != CURLE_OK)
            answer.detail = QString::fromUtf8(*errors_ ? errors_ : curl_easy_strerror(code));
        return answer;
    }

private:
    Easy handle_;
    char errors_[CURL_ERROR_SIZE] = {};
    QByteArray noProxy_;
};

} // namespace

TransferAnswer PostHttp(const HttpRequest &request, int timeoutMs, const std::atomic_bool *cancel)
{
    Transfer transfer(timeoutMs, cancel);
    CURL *handle = transfer.Handle();
    if (!handle)
        return Transfer::NoHandle();
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_URL, request.url.constData());
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.constData());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "Corvix");
    List headers;
    for (const auto &[name, value] : request.headers)
        Append(headers, name + ": " + value);
    // Some services never answer "100 Continue": the body goes at once.
    Append(headers, "Expect:");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    QByteArray body, retryAfter;
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &CollectHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &retryAfter);
    TransferAnswer answer = transfer.Perform();
    answer.body = body;
    answer.retryAfter = retryAfter;
    return answer;
}

TransferAnswer SendMail(const MailRequest &request, int timeoutMs, const std::atomic_bool *cancel)
{
    Transfer transfer(timeoutMs, cancel);
    CURL *handle = transfer.Handle();
    if (!handle)
        return Transfer::NoHandle();
    const bool tls = request.security == MailSecurity::Tls;
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, tls ? "smtps" : "smtp");
    const QByteArray host = request.host.contains(':') ? '[' + request.host + ']' : request.host;
    const QByteArray url = (tls ? "smtps://" : "smtp://") + host + ':' + QByteArray::number(request.port);
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    if (request.security == MailSecurity::StartTls)
        curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    if (!request.user.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, request.user.constData());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, request.password.constData());
    }
    const QByteArray from = '<' + request.from + '>';
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, from.constData());
    List recipients;
    for (const QByteArray &to : request.to)
        Append(recipients, '<' + to + '>');
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
    Upload upload{&request.message};
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &Feed);
    curl_easy_setopt(handle, CURLOPT_READDATA, &upload);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.message.size()));
    return transfer.Perform();
}

} // namespace corvix
