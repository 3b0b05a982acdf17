#pragma once
#include "common/AppContext.h"
#include "log/Outcome.h"
#include "xml/DomDocument.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace owb {

class DocumentTarget;
class IDocumentList;
class clsOstrelAccess;

// The document state of one document window, without widgets: the document shown
// (CurrentElement), the query into the document list, and fetching, storing and removing
// documents through clsOstrelAccess. Server failures either throw OstrelError (query, store,
// remove, parse: the command decides what to tell) or are reported here where the window
// always reports them the same way (fetch, schema).
//
// changed() tells whoever shows what the commands can do (their enabled state) that the
// current document, its id or NonXML may be different now.
class DocumentSession : public QObject {
    Q_OBJECT
public:
    // The HTTP client, the connection registry and the form encoder come from ctx; throws
    // OstrelError when one is missing. target and list must outlive the session.
    DocumentSession(const AppContext &ctx, const DocumentTarget &target, IDocumentList &list);
    ~DocumentSession() override;

    const DocumentTarget &target() const { return m_target; }
    IDocumentList &documentList() const { return m_list; }
    const clsOstrelAccess &access() const { return *m_access; }
    const OutcomeReporter &reporter() const { return m_reporter; }

    // The doctype's schema, or a null node when there is none or it cannot be fetched; then
    // the user has been told (doctypeKey names the doctype in that message).
    DomNode LoadSchema(const QString &doctypeKey);
    bool NonXML() const { return m_nonXML; }

    // Refills the list with the hits of the doctype's query with filter. Throws OstrelError
    // from the result reader; entries listed before the error stay, except when the user
    // cancelled: then the list is as it was.
    void RunQuery(const QString &filter);

    // The selected entry's document; null when nothing is selected, when it is gone from the
    // server (its entry is then removed) or when it cannot be fetched (the user is told).
    DomNode FetchSelectedDocument();
    // CurrentElement := FetchSelectedDocument(). False when nothing is to be shown; an armed
    // Delete is then dropped, so it never reaches a document shown later. A fetch that fails
    // leaves CurrentElement as it was.
    bool fetchSelected();
    // Whether the last fetch failed (the user has been told), as opposed to finding nothing.
    bool lastFetchFailed() const { return m_fetchFailed; }
    // The list row of the entry whose fetched document is current; -1 when there is none.
    int shownRow() const;

    DomNode CurrentElement() const { return m_current; }
    void setCurrentElement(const DomNode &element);
    bool hasCurrentElement() const { return !m_current.isNull(); }
    // Whether the current document is one the server holds (it carries an osl:id).
    bool currentIsStored() const;
    // Self-contained text of the current element; empty when there is none.
    QString currentElementXml() const;

    // Set by the Delete key in the list; consumed by the next document shown.
    bool DeleteArmed() const { return m_deleteArmed; }
    void setDeleteArmed(bool armed) { m_deleteArmed = armed; }
    // Whether an armed Delete is due now; disarms it.
    bool takeDeleteArmed();

    // CurrentElement := the root element of text. Text that is not well-formed throws
    // OstrelError with "Failed to load XML content" CR LF + the parser's reason, and leaves
    // CurrentElement as it was.
    void ParseDocumentText(const QString &text);

    // Removes CurrentElement's document from the server; it loses its osl:id. Throws
    // OstrelError (also when there is no document).
    void RemoveCurrentDocument();
    // Stores text (insert, or replace when it names an osl:id) and returns the id; a new
    // document is appended to the list and selected. Throws OstrelError.
    QString ProcessDocument(const QString &text);

signals:
    void changed();

private:
    AppContext m_ctx;
    const DocumentTarget &m_target;
    IDocumentList &m_list;
    OutcomeReporter m_reporter;
    std::unique_ptr<clsOstrelAccess> m_access;
    DomNode m_current;   // CurrentElement; keeps its document alive
    bool m_nonXML = false;
    bool m_deleteArmed = false;
    bool m_fetchFailed = false;
    std::optional<qint32> m_shownId;   // item datum of the entry last fetched
};

} // namespace owb
