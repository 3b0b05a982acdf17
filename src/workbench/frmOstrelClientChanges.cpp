// The document window's guard over its editors' texts: the questions before a text is
// replaced, the modified marker and the recovery copies.
#include "workbench/frmOstrelClient.h"

#include "common/RecoveryStore.h"
#include "workbench/DocumentSession.h"
#include "workbench/UnsavedChanges.h"
#include "common/OstrelError.h"
#include "log/Outcome.h"
#include "xml/xmlutil.h"

#include <QListWidget>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTimer>

#include <Qsci/qsciscintilla.h>

namespace owb {

void frmOstrelClient::setUpUnsavedChanges()
{
    m_docChanges = new UnsavedChanges(m_documentEditor, UnsavedChanges::Editor::Document, this);
    m_xslChanges = new UnsavedChanges(m_stylesheetEditor, UnsavedChanges::Editor::Stylesheet, this);
    const auto target = [this] {
        RecoveryEntry e;
        e.database = m_target.DatabaseURI();
        e.collection = m_target.CollectionName();
        e.doctype = m_target.DoctypeName();
        return e;
    };
    for (UnsavedChanges *changes : {m_docChanges, m_xslChanges}) {
        changes->setRecovery(m_ctx.recovery, target);
        connect(changes, &UnsavedChanges::dirtyChanged, this,
                [this] { setWindowModified(m_docChanges->isChanged() || m_xslChanges->isChanged()); });
    }
}

UnsavedChanges &frmOstrelClient::changesOf(const QsciScintilla *editor) const
{
    return editor == m_stylesheetEditor ? *m_xslChanges : *m_docChanges;
}

bool frmOstrelClient::mayReplace(const QsciScintilla *editor)
{
    return changesOf(editor).confirmDiscard(m_ctx.ui);
}

bool frmOstrelClient::hasUnsavedChanges() const
{
    return !m_discardConfirmed && (m_docChanges->isChanged() || m_xslChanges->isChanged());
}

namespace {

QString idOf(const DomNode &element)
{
    return element.isNull() ? QString() : element.getAttribute(QStringLiteral("osl:id"));
}

} // namespace

QString frmOstrelClient::documentName(const DomNode &element) const
{
    const QString id = idOf(element);
    return id.isEmpty() ? UnsavedChanges::newDocument() : m_target.DoctypeName() + QStringLiteral(" osl:id=") + id;
}

void frmOstrelClient::markDocumentShown(const DomNode &element, bool clean)
{
    if (clean)
        m_docChanges->markClean(documentName(element), idOf(element));
    else
        m_docChanges->setShown(documentName(element), idOf(element));
}

void frmOstrelClient::keepShownDocument()
{
    m_session->setDeleteArmed(false);
    const auto back = [this] {
        const QSignalBlocker quiet(m_documentList);
        m_documentList->setCurrentRow(m_session->shownRow());
    };
    back();
    // The list view may still apply a selection of its own once the key that moved it is
    // handled.
    QTimer::singleShot(0, this, back);
}

bool frmOstrelClient::textMatchesDocument() const
{
    if (m_textShowsDocument)
        return true;
    return m_session->hasCurrentElement()
        && m_documentEditor->text() == xmlutil().FormatXML(wholeDocument(m_session->CurrentElement()));
}

bool frmOstrelClient::pressedOtherEntry(QMouseEvent *press)
{
    const QModelIndex at = m_documentList->indexAt(press->position().toPoint());
    if (!at.isValid() || at.row() == m_documentList->currentRow() || !m_docChanges->isChanged())
        return false;
    // Asked before the list moves at all: after No it stays exactly as it was.
    m_documentList->setFocus(Qt::MouseFocusReason);
    if (mayReplace(m_documentEditor)) {
        const auto agreed = m_docChanges->trusted();
        m_documentList->setCurrentRow(at.row());
    }
    return true;
}

DomNode frmOstrelClient::wholeDocument(const DomNode &element)
{
    // The root's document keeps its doctype (and the entities the text refers to), comments
    // and processing instructions beside the root.
    const DomDocument doc = element.ownerDocument();
    return doc.documentElement() == element ? doc.node() : element;
}

void frmOstrelClient::editDocumentText(const QString &text)
{
    m_documentEditor->beginUndoAction();
    m_documentEditor->selectAll();
    m_documentEditor->replaceSelectedText(text);
    m_documentEditor->endUndoAction();
    // The tree follows at once, as leaving the text page would make it.
    reporter().run([&] { ParseDocumentText(); rebuildTree(); },
                   [](const OstrelError &e) { return Outcome().withLog(e.description()).withStatus(e.description()); });
}

void frmOstrelClient::showEditedDocument()
{
    showText(wholeDocument(m_session->CurrentElement()));
    markDocumentShown(m_session->CurrentElement(), false);
}

bool frmOstrelClient::restoreText(const RecoveryEntry &entry)
{
    QsciScintilla *editor = entry.editor == QLatin1String("stylesheet") ? m_stylesheetEditor : m_documentEditor;
    if (!mayReplace(editor))
        return false;
    changesOf(editor).restore(entry);
    return true;
}

QStringList frmOstrelClient::unsavedChanges()
{
    QStringList names;
    if (m_discardConfirmed)
        return names;
    // Among several windows a name says which doctype it belongs to.
    const QString doctype = m_target.DoctypeName();
    for (UnsavedChanges *changes : {m_docChanges, m_xslChanges}) {
        if (!changes->isChanged())
            continue;
        const QString name = changes->shown();
        names << (name.startsWith(doctype + QLatin1Char(' ')) ? name : name + QStringLiteral(" (") + doctype + QLatin1Char(')'));
    }
    return names;
}

void frmOstrelClient::discardUnsavedChanges()
{
    m_discardConfirmed = true;
}

} // namespace owb
