#include "common/HttpWait.h"
#include "common/Progress.h"
#include "common/UserInteraction.h"

#include <QLocale>
#include <QUrl>

namespace owb {

RequestWait::RequestWait(UserInteraction *ui, Progress *existing, QString activity, QString url)
    : m_ui(ui), m_existing(existing), m_activity(std::move(activity)), m_url(std::move(url)),
      m_lastAsked(Clock::now())
{
}

RequestWait::~RequestWait() = default;

QString RequestWait::labelFor(qint64 received, qint64 total) const
{
    QString what = m_activity;
    if (what.isEmpty()) {
        const QUrl url(m_url);
        what = QStringLiteral("Waiting for ") + (url.host().isEmpty() ? m_url : url.host());
    }
    const QLocale c = QLocale::c();
    if (received <= 0)
        return what;
    if (total > 0)
        return what + QStringLiteral("\n%1 of %2 bytes received").arg(c.toString(received), c.toString(total));
    return what + QStringLiteral("\n%1 bytes received").arg(c.toString(received));
}

bool RequestWait::keepGoing(qint64 received, qint64 total)
{
    if (m_cancelled)
        return false;
    const auto now = Clock::now();
    if (now - m_lastAsked < std::chrono::milliseconds(TickMs))
        return true;
    m_lastAsked = now;
    if (m_existing) {
        m_cancelled = m_existing->wasCancelled();
        return !m_cancelled;
    }
    if (!m_ui)
        return true;
    if (!m_own) {
        // Only a request that lasts a tick gets here: one answered at once opens nothing.
        m_label = labelFor(received, total);
        m_maximum = total > 0 ? total : 0;
        m_own = m_ui->beginProgress(QStringLiteral("Waiting for the server"), m_label, m_maximum);
        if (!m_own)
            return true;
    }
    // Each change lets the display repaint; unchanged figures are not sent again.
    const qint64 maximum = total > 0 ? total : 0;
    if (maximum != m_maximum) {
        m_maximum = maximum;
        m_own->setMaximum(maximum);
    }
    if (received != m_value) {
        m_value = received;
        m_own->setValue(received);
    }
    const QString label = labelFor(received, total);
    if (label != m_label) {
        m_label = label;
        m_own->setLabel(label);
    }
    m_cancelled = m_own->wasCancelled();
    return !m_cancelled;
}

} // namespace owb
