#pragma once
#include "common/AppContext.h"
#include "workbench/CommandBars.h"
#include "xpath/ReplaceTarget.h"

#include <QObject>
#include <QPointer>

namespace owb {

class DocumentSession;
class DocumentView;
class frmFindReplace;

// Toolbar2's "Replace" (Ctrl+H in the document window) opens "XML Find & Replace" on this
// window's doctype, its shown document and its list. One such window per document window; a
// second press brings it forward.
class FindReplaceButton : public QObject, public ReplaceTarget {
    Q_OBJECT
public:
    FindReplaceButton(DocumentView &view, DocumentSession &session, const AppContext &ctx, QObject *parent = nullptr);
    ~FindReplaceButton() override;

    // Toolbar2's "Replace", Ctrl+H.
    Command command();

    void open();
    frmFindReplace *window() const;
    void closeWindow();

    // ReplaceTarget
    DoctypeRef doctypeRef() const override;
    Prefixes schemaPrefixes() const override;
    QString documentText() const override;
    void replaceDocumentText(const QString &text) override;
    QList<qint32> listedIds() const override;
    void documentsChanged(const QList<qint32> &ids) override;

private:
    DocumentView &m_view;
    DocumentSession &m_session;
    AppContext m_ctx;
    QPointer<frmFindReplace> m_window;
};

} // namespace owb
