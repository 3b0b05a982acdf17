#pragma once
#include "common/RecoveryStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QScopedValueRollback>
#include <QString>

#include <functional>

class QTimer;
class QsciScintilla;

namespace owb {

class UserInteraction;

// Whether the text of one editor still is what was last shown, stored or saved, and the one
// question asked before that text is replaced. While it differs, a recovery copy is written
// a few seconds after the last change, off the typing thread.
class UnsavedChanges : public QObject {
    Q_OBJECT
public:
    enum class Editor { Document, Stylesheet };

    UnsavedChanges(QsciScintilla *editor, Editor kind, QObject *parent = nullptr);

    // What the editor shows, as the question names it ("Order osl:id=2", "the new document").
    QString shown() const { return m_shown; }
    QString id() const { return m_id; }
    void setShown(const QString &shown, const QString &id = QString());

    // The text as it stands was shown, stored or saved.
    void markClean();
    void markClean(const QString &shown, const QString &id = QString());

    // Whether the text differs from the one last clean (a text typed back to it is clean
    // again): the window's modified marker.
    bool isChanged() const { return m_dirty; }

    // True when the text may be replaced: it holds no changes, or the user lets them go.
    bool confirmDiscard(UserInteraction *ui);
    // While the result lives, replacing the text asks nothing (it has just been stored).
    [[nodiscard]] QScopedValueRollback<bool> trusted() { return QScopedValueRollback<bool>(m_trusted, true); }

    // Copies go to store, for the window that target() describes (database, collection,
    // doctype). Without a store nothing is written.
    void setRecovery(RecoveryStore *store, std::function<RecoveryEntry()> target);
    // Puts a recovered text into the editor, changed against the text it was edited from;
    // its copy is on disk when this returns.
    void restore(const RecoveryEntry &entry);
    // A clean close: the copy is not needed any more.
    void dropRecovery();

    static QString newDocument() { return QStringLiteral("the new document"); }
    static QString stylesheet() { return QStringLiteral("the stylesheet"); }
    // A copy is written this long after the last change, and typing puts it off no longer
    // than the second figure.
    static constexpr int kRecoveryDelayMs = 2000;
    static constexpr int kRecoveryMaxDelayMs = 20000;

signals:
    void dirtyChanged(bool dirty);

private:
    QByteArray fingerprint() const;
    bool differs() const;
    void textChanged();
    void idle();
    void writeRecovery();
    void setDirty(bool dirty);

    QsciScintilla *m_editor;
    Editor m_kind;
    QString m_shown;
    QString m_id;
    QByteArray m_baseline;
    bool m_dirty = false;
    bool m_trusted = false;
    QTimer *m_idle;
    QElapsedTimer m_pendingSince;
    RecoveryStore *m_store = nullptr;
    std::function<RecoveryEntry()> m_target;
    QString m_name;
    bool m_written = false;
};

} // namespace owb
