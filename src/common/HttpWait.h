#pragma once
// How one request of HttpClient waits for its answer: what the user sees and whether they
// still want it. Internal to the client.
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <memory>

namespace owb {

class Progress;
class UserInteraction;

class RequestWait {
public:
    // existing: a display of the caller's, only asked for Cancel; else one is opened from ui
    // (when given) once the request has lasted a tick (the display itself shows only later).
    RequestWait(UserInteraction *ui, Progress *existing, QString activity, QString url);
    ~RequestWait();
    RequestWait(const RequestWait &) = delete;
    RequestWait &operator=(const RequestWait &) = delete;

    // Asked between turns of the transfer, as often as it likes; looks up at the user every
    // few tens of milliseconds. False once the user asked to stop.
    bool keepGoing(qint64 received, qint64 total);

    // Upper bound on how long the transfer may keep the caller before asking again.
    static constexpr int TickMs = 25;

private:
    using Clock = std::chrono::steady_clock;
    QString labelFor(qint64 received, qint64 total) const;

    UserInteraction *m_ui;
    Progress *m_existing;
    QString m_activity;
    QString m_url;
    Clock::time_point m_lastAsked;
    std::unique_ptr<Progress> m_own;
    QString m_label;
    qint64 m_maximum = -1;
    qint64 m_value = -1;
    bool m_cancelled = false;
};

} // namespace owb
