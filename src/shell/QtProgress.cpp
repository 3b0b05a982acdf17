#include "shell/QtProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <limits>

namespace owb {

QtProgress::QtProgress(QWidget *parent, const QString &title, const QString &label, qint64 maximum,
                       int showAfterMs)
    : m_parent(parent), m_title(title), m_label(label), m_maximum(qMax<qint64>(0, maximum)),
      m_showAfterMs(showAfterMs)
{
    m_clock.start();
}

QtProgress::~QtProgress()
{
    delete m_dialog.data();
}

int QtProgress::scaled(qint64 v) const
{
    // The dialog counts in int; large amounts (bytes) are shown in proportion.
    constexpr qint64 top = std::numeric_limits<int>::max();
    if (m_maximum <= top)
        return int(qBound<qint64>(0, v, top));
    return int(qBound<qint64>(0, v / (m_maximum / top + 1), top));
}

void QtProgress::refresh()
{
    if (!m_dialog && m_clock.elapsed() >= m_showAfterMs) {
        m_dialog = new QProgressDialog(m_label, QCoreApplication::translate("QtProgress", "Cancel"), 0,
                                       scaled(m_maximum), m_parent);
        m_dialog->setObjectName(QStringLiteral("dlgProgress"));
        m_dialog->setWindowTitle(m_title);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->show();
    }
    if (!m_dialog) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    m_dialog->setMaximum(scaled(m_maximum));
    m_dialog->setLabelText(m_label);
    if (m_maximum > 0)
        m_dialog->setValue(scaled(m_value));
    QCoreApplication::processEvents();
    if (m_dialog && m_dialog->wasCanceled())
        m_cancelled = true;
}

void QtProgress::setMaximum(qint64 maximum)
{
    m_maximum = qMax<qint64>(0, maximum);
    refresh();
}

void QtProgress::setValue(qint64 value)
{
    m_value = value;
    refresh();
}

void QtProgress::setLabel(const QString &label)
{
    m_label = label;
    refresh();
}

bool QtProgress::wasCancelled()
{
    refresh();
    return m_cancelled;
}

} // namespace owb
