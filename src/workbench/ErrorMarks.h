#pragma once
#include <QHash>
#include <QList>
#include <QPair>
#include <QObject>
#include <QString>

class QsciScintilla;

namespace owb {

// The error lines of one editor: a marker in the margin on each, the first line selected and
// scrolled into view, its reason as the editor's tooltip; resting the mouse on a marked line
// shows that line's own reason.
class ErrorMarks : public QObject {
    Q_OBJECT
public:
    struct Error {
        int line = 1;   // 1-based
        QString reason;
    };

    explicit ErrorMarks(QsciScintilla *editor);

    // Replaces the marks; errors beyond the text are marked on its last line.
    void mark(const QList<Error> &errors);
    // Markers, reasons and the tooltip go.
    void clear();

    // 0-based lines carrying a marker, in order.
    QList<int> markedLines() const;
    // What resting on 0-based line shows; empty for an unmarked line.
    QString reasonAt(int line) const;

    static constexpr int Marker = 20;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QsciScintilla *m_editor;
    // By marker handle: the editor moves a marker with its line as the text is edited.
    QList<QPair<int, QString>> m_reasons;
    // Reasons by 0-based line, found again after the text changed.
    mutable QHash<int, QString> m_byLine;
    mutable bool m_stale = false;
};

} // namespace owb
