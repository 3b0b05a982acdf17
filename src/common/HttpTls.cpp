#include "HttpTls.h"
#include "HttpClient.h"

#include <QUrl>

// The values of CURLINFO_SSL_VERIFYRESULT with libcurl's OpenSSL back end; only the constants
// are used, nothing of OpenSSL is linked.
#include <openssl/x509_vfy.h>

#include <memory>

namespace owb {

namespace {

struct CurlDeleter {
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
};

size_t discard(char *, size_t size, size_t count, void *)
{
    return size * count;
}

// Whether the server at url's host and port speaks the other scheme: for an https:// URL,
// whether it answers a plain HEAD; for an http:// one, whether it completes a TLS handshake
// (after which nothing is sent).
bool speaksTheOtherScheme(const QUrl &url, const QString &caFile, int connectMs)
{
    const bool wasHttps = url.scheme() == QLatin1String("https");
    QUrl other(url);
    other.setScheme(wasHttps ? QStringLiteral("http") : QStringLiteral("https"));
    other.setPort(url.port(wasHttps ? 443 : 80));
    other.setPath(QStringLiteral("/"));
    other.setQuery(QString());
    const std::unique_ptr<CURL, CurlDeleter> probe(curl_easy_init());
    if (!probe)
        return false;
    CURL *c = probe.get();
    const QByteArray target = other.toEncoded();
    const QByteArray ca = caFile.toUtf8();
    curl_easy_setopt(c, CURLOPT_URL, target.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    // The server has just been reached: the probe needs no patience.
    constexpr int kProbeMs = 5000;
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(connectMs > 0 ? qMin(connectMs, kProbeMs) : kProbeMs));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(kProbeMs));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ca.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, ca.constData());
    if (wasHttps) {
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        long status = 0;
        return curl_easy_perform(c) == CURLE_OK && curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK
               && status > 0;
    }
    curl_easy_setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    const CURLcode rc = curl_easy_perform(c);
    // A certificate that is refused still proves that the server speaks TLS.
    return rc == CURLE_OK || rc == CURLE_PEER_FAILED_VERIFICATION;
}

QString certificateProblem(long verifyResult, const QString &host, const QString &detail)
{
    switch (verifyResult) {
    case X509_V_OK:
    case X509_V_ERR_UNSPECIFIED:
        // The chain was trusted: what failed is libcurl's own check of the host name, which
        // leaves its "not read yet" mark (1) in the result.
        return QStringLiteral("The certificate of %1 is made out for another host name, not %1").arg(host);
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QStringLiteral("The certificate of %1 has expired").arg(host);
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QStringLiteral("The certificate of %1 is not valid yet").arg(host);
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return QStringLiteral("The certificate of %1 is issued by an unknown certificate authority; to trust it, "
                              "give the authority's certificate file")
            .arg(host);
    default:
        return QStringLiteral("The certificate of %1 is not trusted: %2").arg(host, detail);
    }
}

} // namespace

QString tlsFailureText(CURL *c, CURLcode rc, const QString &url, const QString &caFile, const QString &detail,
                       int connectMs)
{
    const QUrl parsed(url);
    const QString host = parsed.host();
    const bool https = parsed.scheme() == QLatin1String("https");
    switch (rc) {
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("The certificate authority file %1 cannot be read").arg(caFile);
    case CURLE_PEER_FAILED_VERIFICATION: {
        long verifyResult = X509_V_OK;
        curl_easy_getinfo(c, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
        return certificateProblem(verifyResult, host, detail);
    }
    case CURLE_SSL_CONNECT_ERROR:
        if (https && speaksTheOtherScheme(parsed, caFile, connectMs))
            return QStringLiteral("%1 answers in plain HTTP, not HTTPS: its URI begins with http://").arg(host);
        return https ? QStringLiteral("No secure connection to %1 came about: %2").arg(host, detail) : QString();
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
        if (!https && speaksTheOtherScheme(parsed, caFile, connectMs))
            return QStringLiteral("%1 speaks HTTPS only: its URI begins with https://").arg(host);
        return {};
    default:
        return {};
    }
}

void HttpClient::setAuthorityFile(const QString &databaseUri, const QString &caFile)
{
    std::lock_guard guard(m_authorityLock);
    if (caFile.isEmpty())
        m_authorityFiles.remove(databaseUri);
    else
        m_authorityFiles.insert(databaseUri, caFile);
}

QString HttpClient::authorityFileFor(const QString &url) const
{
    std::lock_guard guard(m_authorityLock);
    QString file;
    qsizetype matched = -1;
    for (auto it = m_authorityFiles.cbegin(); it != m_authorityFiles.cend(); ++it) {
        const QString &uri = it.key();
        const bool below = url.startsWith(uri)
                           && (url.size() == uri.size() || url.at(uri.size()) == QLatin1Char('/')
                               || url.at(uri.size()) == QLatin1Char('?') || uri.endsWith(QLatin1Char('/')));
        if (below && uri.size() > matched) {
            matched = uri.size();
            file = it.value();
        }
    }
    return file;
}

} // namespace owb
