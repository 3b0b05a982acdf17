#include "workbench/DocumentSession.h"

#include "common/OstrelError.h"
#include "schema/clsSchema.h"
#include "server/ServerClient.h"
#include "server/clsOstrelAccess.h"
#include "workbench/DocumentTarget.h"
#include "xml/DocumentList.h"
#include "xml/MemoryDocumentList.h"

namespace owb {

namespace {

const AppContext &required(const AppContext &ctx)
{
    if (!ctx.http || !ctx.connection || !ctx.formEncoder)
        throw OstrelError(QStringLiteral("frmOstrelClient"),
                          QStringLiteral("The document window needs the HTTP client, the connection "
                                         "registry and the form encoder"));
    return ctx;
}

} // namespace

DocumentSession::DocumentSession(const AppContext &ctx, const DocumentTarget &target, IDocumentList &list)
    : m_ctx(required(ctx)), m_target(target), m_list(list), m_reporter(ctx),
      m_access(std::make_unique<clsOstrelAccess>(*ctx.connection, *ctx.formEncoder, *ctx.http))
{
}

DocumentSession::~DocumentSession() = default;

void DocumentSession::setCurrentElement(const DomNode &element)
{
    m_current = element;
    emit changed();
}

bool DocumentSession::currentIsStored() const
{
    return !m_current.isNull() && !m_current.getAttribute(QStringLiteral("osl:id")).trimmed().isEmpty();
}

DomNode DocumentSession::LoadSchema(const QString &doctypeKey)
{
    DomNode schema;
    m_reporter.run(
        [&] {
            clsSchema loader(m_ctx.http);
            schema = loader.GetSchema(m_target.DatabaseURI(), m_target.CollectionName(), m_target.DoctypeName());
            m_nonXML = !schema.isNull() && loader.NonXML();
            emit changed();
        },
        // An unreachable server must not keep the window from opening; say why in the log.
        [](const OstrelError &e) { return Outcome().withLog(e.description()); });
    if (schema.isNull())
        m_reporter.report(Outcome::message(
            QStringLiteral("Failed to load schema for document type ") + doctypeKey + QStringLiteral("\r\n")
                + QStringLiteral("Just continue. ")
                + QStringLiteral("You can not generate New documents. This will be dealt with at a later stage"),
            QStringLiteral("Error occured")));
    return schema;
}

void DocumentSession::RunQuery(const QString &filter)
{
    // The hits are gathered aside: a cancelled query leaves the list as it was.
    MemoryDocumentList hits;
    const auto fill = [&] {
        m_list.clear();
        for (int i = 0; i < hits.count(); ++i)
            m_list.addEntry(hits.text(i), hits.itemData(i));
    };
    try {
        ServerClient(*m_ctx.http).query(m_target.CollectionURI(), m_target.query(filter), hits);
    } catch (const OstrelError &e) {
        if (!e.isCancelled())
            fill();
        throw;
    }
    fill();
}

DomNode DocumentSession::FetchSelectedDocument()
{
    m_fetchFailed = false;
    const int row = m_list.currentIndex();
    if (row < 0)
        return {};
    DomNode element;
    const qint32 id = m_list.itemData(row);
    m_fetchFailed = !m_reporter.run(
        [&] {
            element = m_access->getDocument(m_target.CollectionURI(), m_target.DoctypeName(), id);
            if (element.isNull()) {
                m_list.removeAt(row);
                m_list.setCurrentIndex(-1);
            }
        },
        [](const OstrelError &e) {
            return Outcome::message(e.description(), QStringLiteral("An error has been raised"),
                                    UserInteraction::Icon::Exclamation);
        });
    if (!element.isNull())
        m_shownId = id;
    return element;
}

bool DocumentSession::fetchSelected()
{
    const DomNode fetched = FetchSelectedDocument();
    // After a failed fetch the pages still show the earlier document: it stays current, and
    // an armed Delete must not reach it.
    if (!fetched.isNull() || !m_fetchFailed)
        setCurrentElement(fetched);
    if (fetched.isNull())
        m_deleteArmed = false;
    return !fetched.isNull();
}

int DocumentSession::shownRow() const
{
    if (!m_shownId || m_current.isNull())
        return -1;
    for (int row = 0; row < m_list.count(); ++row)
        if (m_list.itemData(row) == *m_shownId)
            return row;
    return -1;
}

QString DocumentSession::currentElementXml() const
{
    return m_current.isNull() ? QString() : m_current.xml();
}

bool DocumentSession::takeDeleteArmed()
{
    const bool armed = m_deleteArmed;
    m_deleteArmed = false;
    return armed;
}

void DocumentSession::ParseDocumentText(const QString &text)
{
    DomDocument doc = NewDOMDocument(false, true);
    if (!doc.loadXML(text))
        throw OstrelError(OstrelError::Kind::Parse, QStringLiteral("frmOstrelClient"),
                          QStringLiteral("Failed to load XML content") + QStringLiteral("\r\n") + doc.parseError().reason);
    setCurrentElement(doc.documentElement());
}

void DocumentSession::RemoveCurrentDocument()
{
    m_access->RemoveDocument(m_current, m_target.CollectionURI());
    emit changed();   // no longer stored
}

QString DocumentSession::ProcessDocument(const QString &text)
{
    return m_access->ProcessRequest(m_target.CollectionURI(), text, m_list);
}

} // namespace owb
