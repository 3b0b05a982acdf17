#pragma once
#include <QString>

namespace owb {

// The outcome of a liveness check (ServerClient::ping), with everything the Navigate window
// logs or shows.
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

} // namespace owb
