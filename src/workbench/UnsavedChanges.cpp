#include "workbench/UnsavedChanges.h"

#include "common/UnsavedWork.h"

#include <QHashFunctions>
#include <QTimer>

#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

// Fixed, so that a fingerprint written into a recovery file still means the same text when
// the next process reads it.
constexpr size_t kSeed = 0x6f7762;

long editorLength(const QsciScintilla *editor)
{
    return editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
}

// The editor's own buffer, without a copy (though the editor closes its gap for it).
QByteArrayView editorBytes(const QsciScintilla *editor)
{
    const long length = editorLength(editor);
    const auto *data = reinterpret_cast<const char *>(editor->SendScintilla(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
    return QByteArrayView(data, length);
}

} // namespace

UnsavedChanges::UnsavedChanges(QsciScintilla *editor, Editor kind, QObject *parent)
    : QObject(parent), m_editor(editor), m_kind(kind), m_idle(new QTimer(this))
{
    m_shown = kind == Editor::Stylesheet ? stylesheet() : newDocument();
    m_baseline = fingerprint();
    m_idle->setSingleShot(true);
    m_idle->setInterval(kRecoveryDelayMs);
    connect(m_idle, &QTimer::timeout, this, &UnsavedChanges::idle);
    connect(editor, &QsciScintilla::textChanged, this, &UnsavedChanges::textChanged);
}

QByteArray UnsavedChanges::fingerprint() const
{
    const QByteArrayView bytes = editorBytes(m_editor);
    return QByteArray::number(bytes.size()) + ':' + QByteArray::number(quint64(qHashBits(bytes.data(), bytes.size(), kSeed)), 16);
}

void UnsavedChanges::setShown(const QString &shown, const QString &id)
{
    m_shown = shown;
    m_id = id;
}

void UnsavedChanges::markClean()
{
    m_baseline = fingerprint();
    setDirty(false);
    m_editor->setModified(false);
}

bool UnsavedChanges::differs() const
{
    // Only a text of the clean one's length is read: typing elsewhere costs nothing.
    const QByteArray length = QByteArray::number(qint64(editorLength(m_editor))) + ':';
    return !m_baseline.startsWith(length) || fingerprint() != m_baseline;
}

void UnsavedChanges::markClean(const QString &shown, const QString &id)
{
    setShown(shown, id);
    markClean();
}

bool UnsavedChanges::confirmDiscard(UserInteraction *ui)
{
    if (m_trusted || !m_dirty)
        return true;
    return UnsavedWork::confirmDiscard(ui, {m_shown});
}

void UnsavedChanges::setDirty(bool dirty)
{
    if (!dirty) {
        m_idle->stop();
        m_pendingSince.invalidate();
        if (m_written)
            m_store->remove(m_name);
        m_written = false;
    }
    if (dirty == m_dirty)
        return;
    m_dirty = dirty;
    emit dirtyChanged(dirty);
}

void UnsavedChanges::textChanged()
{
    setDirty(differs());
    if (!m_dirty || !m_store)
        return;
    if (!m_pendingSince.isValid())
        m_pendingSince.start();
    // Steady typing puts the copy off only so long.
    if (!m_idle->isActive() || m_pendingSince.elapsed() < kRecoveryMaxDelayMs)
        m_idle->start();
}

void UnsavedChanges::idle()
{
    m_pendingSince.invalidate();
    if (m_dirty)
        writeRecovery();
}

void UnsavedChanges::setRecovery(RecoveryStore *store, std::function<RecoveryEntry()> target)
{
    m_store = store;
    m_target = std::move(target);
    if (m_store && m_name.isEmpty())
        m_name = m_store->newName();
}

void UnsavedChanges::writeRecovery()
{
    if (!m_store)
        return;
    RecoveryEntry e = m_target ? m_target() : RecoveryEntry();
    e.editor = m_kind == Editor::Stylesheet ? QStringLiteral("stylesheet") : QStringLiteral("document");
    e.id = m_id;
    e.shown = m_shown;
    e.baseline = m_baseline;
    e.savedAt = QDateTime::currentDateTimeUtc();
    e.text = editorBytes(m_editor).toByteArray();
    m_store->write(m_name, std::move(e));
    m_written = true;
}

void UnsavedChanges::restore(const RecoveryEntry &entry)
{
    m_editor->setText(QString::fromUtf8(entry.text));
    m_shown = entry.shown;
    m_id = entry.id;
    m_baseline = entry.baseline;
    setDirty(differs());
    if (!m_dirty || !m_store)
        return;
    m_idle->stop();
    m_pendingSince.invalidate();
    writeRecovery();
    m_store->flush();
}

void UnsavedChanges::dropRecovery()
{
    m_idle->stop();
    m_pendingSince.invalidate();
    if (m_written)
        m_store->remove(m_name);
    m_written = false;
}

} // namespace owb
