#include "workbench/FindReplaceButton.h"

#include "common/MainWindowApi.h"
#include "common/OstrelError.h"
#include "log/Outcome.h"
#include "workbench/DocumentSession.h"
#include "workbench/DocumentTarget.h"
#include "workbench/DocumentView.h"
#include "xml/DocumentList.h"
#include "xpath/frmFindReplace.h"

#include <QWidget>

#include <Qsci/qsciscintilla.h>

namespace owb {

FindReplaceButton::FindReplaceButton(DocumentView &view, DocumentSession &session, const AppContext &ctx,
                                     QObject *parent)
    : QObject(parent), m_view(view), m_session(session), m_ctx(ctx)
{
}

FindReplaceButton::~FindReplaceButton()
{
    // The window works on this one's view: it must not use it afterwards.
    if (m_window)
        m_window->detachTarget();
}

Command FindReplaceButton::command()
{
    return Command{QStringLiteral("Replace"), QStringLiteral("Replace"), QStringLiteral("XML Find & Replace"),
                   [this] { open(); }, {}, [this] { return !m_session.NonXML(); }, QKeySequence(Qt::CTRL | Qt::Key_H),
                   [] { return QStringLiteral("The documents of this doctype are no XML"); }};
}

void FindReplaceButton::open()
{
    if (m_window) {
        if (m_ctx.mainWindow)
            m_ctx.mainWindow->activateChild(m_window);
        return;
    }
    m_session.reporter().run(
        [&] {
            m_window = new frmFindReplace(m_ctx, *this);
            if (m_ctx.mainWindow)
                m_ctx.mainWindow->showChild(m_window);
            else
                m_window->show();
        },
        [](const OstrelError &e) { return Outcome().withLog(e.description()).withStatus(e.description()); });
}

frmFindReplace *FindReplaceButton::window() const { return m_window; }

void FindReplaceButton::closeWindow()
{
    if (m_window)
        m_window->detachTarget();
}

DoctypeRef FindReplaceButton::doctypeRef() const
{
    return m_session.target().doctype();
}

Prefixes FindReplaceButton::schemaPrefixes() const
{
    DomDocument schema = NewDOMDocument(false, true);
    return schema.loadXML(m_view.schemaEditor()->text()) ? XPathReplace::schemaPrefixes(schema.documentElement())
                                                        : Prefixes();
}

QString FindReplaceButton::documentText() const
{
    return m_view.documentEditor()->text();
}

void FindReplaceButton::replaceDocumentText(const QString &text)
{
    m_view.editDocumentText(text);
}

QList<qint32> FindReplaceButton::listedIds() const
{
    QList<qint32> ids;
    const IDocumentList &list = m_session.documentList();
    for (int i = 0; i < list.count(); ++i)
        ids << list.itemData(i);
    return ids;
}

void FindReplaceButton::documentsChanged(const QList<qint32> &ids)
{
    const int shown = m_session.shownRow();
    if (shown >= 0 && ids.contains(m_session.documentList().itemData(shown)))
        m_view.reshowDocument();
}

} // namespace owb
