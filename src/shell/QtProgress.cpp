#include "shell/QtProgress.h"

#include <QApplication>
#include <QProgressDialog>

#include <limits>

namespace owb {

namespace {

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// Keeps every widget but a progress dialog from taking a command while the operation runs
// (an operation inside another one has a dialog of its own, which must stay usable, and so
// must a question the operation itself asks).
class InputGuard : public QObject {
public:
    // The dialog that was modal when the operation began (the login dialog around its
    // check) started this operation: it must not start another.
    InputGuard() : m_modalBefore(QApplication::activeModalWidget()) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool close = event->type() == QEvent::Close && event->spontaneous();
        if ((!close && !isInput(event->type())) || !watched->isWidgetType())
            return false;
        const QWidget *window = static_cast<QWidget *>(watched)->window();
        if (qobject_cast<const QProgressDialog *>(window) && window->objectName() == QLatin1String("dlgProgress"))
            return false;
        if (window == QApplication::activeModalWidget() && window != m_modalBefore)
            return false;
        event->ignore();   // a close box must not go on to close the window
        return true;
    }

private:
    QPointer<QWidget> m_modalBefore;
};

} // namespace

QtProgress::QtProgress(QWidget *parent, const QString &title, const QString &label, qint64 maximum,
                       int showAfterMs)
    : m_parent(parent), m_title(title), m_label(label), m_maximum(qMax<qint64>(0, maximum)),
      m_showAfterMs(showAfterMs), m_inputGuard(std::make_unique<InputGuard>())
{
    m_clock.start();
    QCoreApplication::instance()->installEventFilter(m_inputGuard.get());
}

QtProgress::~QtProgress()
{
    m_inputGuard.reset();   // a filter removes itself when it is destroyed
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
