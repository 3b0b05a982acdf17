#pragma once
// The TLS side of HttpClient: which authorities a request trusts (HttpClient's own functions
// for it live beside this), and what the user is told when a secure connection does not come
// about. Internal to the client.
#include <QString>

#include <curl/curl.h>

namespace owb {

// The reason, naming the host, when rc ended a request to url for a TLS cause (an untrusted,
// expired or misnamed certificate, a CA file that cannot be read, or a scheme that does not
// match what the server speaks); empty otherwise. c is the handle that failed; caFile the
// authority file it used; detail libcurl's own text. connectMs bounds the connection of the
// probe that tells a server's scheme, which sends no request of the user's.
QString tlsFailureText(CURL *c, CURLcode rc, const QString &url, const QString &caFile, const QString &detail,
                       int connectMs);

} // namespace owb
