#pragma once
#include <QString>

namespace owb {

class HttpClient;

// The outcome of a liveness check, with everything the Navigate window logs or shows.
struct PingResult {
    bool alive = false;        // answered 200 with a text containing "is alive"
    bool answered = false;     // false: the request could not be sent or got no answer at all
    int status = 0;            // 0 when not answered
    QString statusText;
    QString responseText;
    // "Failed to connect (" + status + ") " + status text when the status is above 200;
    // empty otherwise.
    QString failureText;
    QString transportError;    // why it was not answered (unreachable, refused, time-out)
    bool secureRefusal = false; // the secure connection was refused: transportError says why
};

// The whole check, answer included, ends within this (also against a server that trickles).
constexpr int PingTimeoutMs = 15000;

// GET databaseUri + "?_diagnose=ping" with Basic authentication. Never throws for transport
// failures (a time-out or a cancel included): those come back as answered == false.
PingResult ServerPing(const HttpClient &http, const QString &databaseUri, const QString &userId,
                      const QString &password, int totalTimeoutMs = PingTimeoutMs);

} // namespace owb
