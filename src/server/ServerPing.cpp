// The liveness check of ServerClient.
#include "server/ServerClient.h"
#include "common/OstrelError.h"
#include "server/FormEncoder.h"

namespace owb {

PingResult ServerClient::ping(const QString &databaseUri, const QString &userId, const QString &password,
                              int totalTimeoutMs) const
{
    HttpRequest req;
    req.method = "GET";
    req.url = pingUrl(databaseUri);
    req.headers.append({QByteArray("Content-Type"), QByteArray(FormEncoder::ContentType)});
    req.authenticate = true;
    req.user = userId;
    req.password = password;
    req.activity = QStringLiteral("Connecting to ") + databaseUri;
    // A server that trickles its answer must not hold the login for ever.
    req.totalTimeoutMs = totalTimeoutMs;

    PingResult result;
    HttpResponse res;
    try {
        res = m_http.send(req);
    } catch (const OstrelError &e) {
        result.transportError = e.description();
        result.secureRefusal = e.number() == HttpClient::RefusedNumber;
        return result;
    }
    result.answered = true;
    result.status = res.status;
    result.statusText = res.statusText;
    result.responseText = QString::fromUtf8(res.body);
    if (res.status > 200) {
        result.failureText = QStringLiteral("Failed to connect (%1) %2").arg(res.status).arg(res.statusText);
        // An error page that happens to say "is alive" is still an error.
        return result;
    }
    result.alive = res.status == 200 && result.responseText.contains(QStringLiteral("is alive"));
    return result;
}

} // namespace owb
