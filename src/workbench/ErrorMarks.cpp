#include "workbench/ErrorMarks.h"

#include <QColor>
#include <QHelpEvent>
#include <QToolTip>

#include <Qsci/qsciscintilla.h>

#include <algorithm>

namespace owb {

ErrorMarks::ErrorMarks(QsciScintilla *editor) : QObject(editor), m_editor(editor)
{
    m_editor->markerDefine(QsciScintilla::RightTriangle, Marker);
    m_editor->setMarkerBackgroundColor(QColor(0xd0, 0x20, 0x20), Marker);
    m_editor->setMarkerForegroundColor(QColor(0x80, 0x00, 0x00), Marker);
    m_editor->viewport()->installEventFilter(this);
    connect(m_editor, &QsciScintilla::textChanged, this, [this] { m_stale = true; });
}

void ErrorMarks::mark(const QList<Error> &errors)
{
    clear();
    if (errors.isEmpty())
        return;
    const int last = qMax(0, m_editor->lines() - 1);
    for (const Error &e : errors) {
        const int line = std::clamp(e.line - 1, 0, last);
        m_reasons.append({m_editor->markerAdd(line, Marker), e.reason});
        QString &reason = m_byLine[line];
        reason += (reason.isEmpty() ? QString() : QStringLiteral("\n")) + e.reason;
    }
    const int first = std::clamp(errors.first().line - 1, 0, last);
    QString text = m_editor->text(first);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    m_editor->ensureLineVisible(first);
    m_editor->setSelection(first, 0, first, int(text.size()));
    m_editor->setToolTip(errors.first().reason);
}

void ErrorMarks::clear()
{
    m_editor->markerDeleteAll(Marker);
    m_reasons.clear();
    m_byLine.clear();
    m_stale = false;
    m_editor->setToolTip(QString());
}

QList<int> ErrorMarks::markedLines() const
{
    QList<int> out;
    const unsigned mask = 1u << Marker;
    for (int line = m_editor->markerFindNext(0, mask); line >= 0; line = m_editor->markerFindNext(line + 1, mask))
        out << line;
    return out;
}

QString ErrorMarks::reasonAt(int line) const
{
    if (line < 0 || !(m_editor->markersAtLine(line) & (1u << Marker)))
        return {};
    if (m_stale) {
        m_byLine.clear();
        for (const auto &[handle, reason] : m_reasons) {
            const int now = m_editor->markerLine(handle);
            if (now < 0)
                continue;
            QString &joined = m_byLine[now];
            joined += (joined.isEmpty() ? QString() : QStringLiteral("\n")) + reason;
        }
        m_stale = false;
    }
    return m_byLine.value(line);
}

bool ErrorMarks::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || m_reasons.isEmpty())
        return QObject::eventFilter(watched, event);
    auto *help = static_cast<QHelpEvent *>(event);
    // The nearest position, so that resting on the margin's marker counts too.
    const long pos = m_editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT,
                                             static_cast<unsigned long>(qMax(0, help->pos().x())),
                                             static_cast<long>(help->pos().y()));
    int line = -1, index = 0;
    m_editor->lineIndexFromPosition(int(pos), &line, &index);
    const QString reason = reasonAt(line);
    if (reason.isEmpty())
        return QObject::eventFilter(watched, event);   // the editor's own tooltip
    QToolTip::showText(help->globalPos(), reason, m_editor->viewport());
    return true;
}

} // namespace owb
