#include "xml/ParseGuard.h"

#include <libxml/entities.h>
#include <libxml/parserInternals.h>

#include <QFileInfo>
#include <QUrl>

#include <cstring>
#include <mutex>

namespace owb::xmlparse {

namespace {

thread_local int t_refusing = 0;
xmlExternalEntityLoader g_nextLoader = nullptr;

xmlParserInputPtr refusingLoader(const char *url, const char *id, xmlParserCtxtPtr ctxt)
{
    if (t_refusing > 0)
        return nullptr;
    return g_nextLoader ? g_nextLoader(url, id, ctxt) : nullptr;
}

Guard *guardOf(void *ctx)
{
    return static_cast<Guard *>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

// Far beyond any bound, and safe to add up.
constexpr quint64 Unbounded = quint64(1) << 60;

} // namespace

void RefuseLoads::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_nextLoader = xmlGetExternalEntityLoader();
        xmlSetExternalEntityLoader(&refusingLoader);
    });
}

RefuseLoads::RefuseLoads()
{
    install();
    ++t_refusing;
}

RefuseLoads::~RefuseLoads() { --t_refusing; }

bool RefuseLoads::active() { return t_refusing > 0; }

Guard::Guard(xmlParserCtxtPtr ctxt, int envelope, bool readExternal)
    : m_ctxt(ctxt), m_user(ctxt->_private), m_maxDepth(xmllimits::MaxDepth + envelope), m_readExternal(readExternal),
      m_start(ctxt->sax->startElementNs),
      m_end(ctxt->sax->endElementNs), m_entity(ctxt->sax->getEntity), m_parameterEntity(ctxt->sax->getParameterEntity),
      m_declare(ctxt->sax->entityDecl)
{
    ctxt->_private = this;
    ctxt->sax->startElementNs = &Guard::start;
    ctxt->sax->endElementNs = &Guard::end;
    ctxt->sax->getEntity = &Guard::entity;
    ctxt->sax->getParameterEntity = &Guard::parameterEntity;
    if (m_declare)
        ctxt->sax->entityDecl = &Guard::declared;
}

Guard::~Guard()
{
    m_ctxt->_private = m_user;
    m_ctxt->sax->startElementNs = m_start;
    m_ctxt->sax->endElementNs = m_end;
    m_ctxt->sax->getEntity = m_entity;
    m_ctxt->sax->getParameterEntity = m_parameterEntity;
    m_ctxt->sax->entityDecl = m_declare;
}

void *Guard::user(void *ctx)
{
    return guardOf(ctx)->m_user;
}

void Guard::refuse(const QString &reason)
{
    if (!refused()) {
        m_reason = reason;
        m_line = m_ctxt->input ? m_ctxt->input->line : 0;
    }
    xmlStopParser(m_ctxt);
}

void Guard::start(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri, int nbNamespaces,
                  const xmlChar **namespaces, int nbAttributes, int nbDefaulted, const xmlChar **attributes)
{
    Guard *g = guardOf(ctx);
    if (++g->m_depth > g->m_maxDepth) {
        g->refuse(QStringLiteral("The document nests elements deeper than %1 levels, the most that is accepted")
                      .arg(xmllimits::MaxDepth));
        return;
    }
    if (g->m_start)
        g->m_start(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted, attributes);
}

void Guard::end(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri)
{
    Guard *g = guardOf(ctx);
    --g->m_depth;
    if (g->m_end)
        g->m_end(ctx, localname, prefix, uri);
}

// The text an internal entity stands for, counted without building it.
quint64 Guard::expanded(xmlEntityPtr e, int level)
{
    if (e && e->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY && m_readExternal) {
        // Its file's size stands for its text; what it refers to counts as it is parsed.
        if (!m_sizes.count(e)) {
            const QString uri = QString::fromUtf8(reinterpret_cast<const char *>(e->URI ? e->URI : e->SystemID));
            const QUrl url(uri);
            m_sizes[e] = quint64(QFileInfo(url.isLocalFile() ? url.toLocalFile() : uri).size());
        }
        return m_sizes[e];
    }
    if (!e || e->etype != XML_INTERNAL_GENERAL_ENTITY || !e->content)
        return 0;
    if (const auto known = m_sizes.find(e); known != m_sizes.end())
        return known->second;
    if (level > 40)
        return Unbounded;
    m_sizes[e] = 0;   // a loop; the parser reports it
    quint64 n = 0;
    for (const char *p = reinterpret_cast<const char *>(e->content); *p && n < Unbounded; ++p) {
        const char *semicolon = p[0] == '&' && p[1] != '#' ? std::strchr(p, ';') : nullptr;
        if (!semicolon) {
            ++n;
            continue;
        }
        const QByteArray name(p + 1, semicolon - p - 1);
        const xmlChar *key = reinterpret_cast<const xmlChar *>(name.constData());
        xmlEntityPtr ref = xmlGetPredefinedEntity(key);
        if (ref)
            ++n;
        else if ((ref = m_ctxt->myDoc ? xmlGetDocEntity(m_ctxt->myDoc, key) : nullptr))
            n += expanded(ref, level + 1);
        p = semicolon;
    }
    m_sizes[e] = n;
    return n;
}

void Guard::declared(void *ctx, const xmlChar *name, int type, const xmlChar *publicId, const xmlChar *systemId,
                     xmlChar *content)
{
    Guard *g = guardOf(ctx);
    g->m_declare(ctx, name, type, publicId, systemId, content);
    // Only an internal entity's declaration is looked up once more.
    g->m_declared = content ? QByteArray(reinterpret_cast<const char *>(name)) : QByteArray();
}

bool Guard::lookingBack(const xmlChar *name)
{
    const bool back = !m_declared.isNull() && m_declared == reinterpret_cast<const char *>(name);
    m_declared = QByteArray();
    return back;
}

// Substituting would read the entity from outside the document.
void Guard::refuseExternal(xmlEntityPtr e, const char *mark)
{
    const QString system = QString::fromUtf8(reinterpret_cast<const char *>(e->SystemID ? e->SystemID : BAD_CAST ""));
    refuse(QStringLiteral("The document uses the external entity %1%2; (\"%3\"): entities outside the document are never read")
               .arg(QLatin1String(mark), QString::fromUtf8(reinterpret_cast<const char *>(e->name)), system));
}

xmlEntityPtr Guard::parameterEntity(void *ctx, const xmlChar *name)
{
    Guard *g = guardOf(ctx);
    if (g->refused())
        return nullptr;
    xmlEntityPtr e = g->m_parameterEntity ? g->m_parameterEntity(ctx, name) : nullptr;
    const bool lookBack = g->lookingBack(name);
    if (e && !lookBack && e->etype == XML_EXTERNAL_PARAMETER_ENTITY && g->m_ctxt->replaceEntities
        && !g->m_readExternal) {
        g->refuseExternal(e, "%");
        return nullptr;
    }
    return e;
}

xmlEntityPtr Guard::entity(void *ctx, const xmlChar *name)
{
    Guard *g = guardOf(ctx);
    if (g->refused())
        return nullptr;
    xmlEntityPtr e = g->m_entity ? g->m_entity(ctx, name) : xmlGetPredefinedEntity(name);
    // Right after a declaration the parser looks the entity up to keep its raw text; that is
    // no use of it. Every other reference counts, also those in the DTD's attribute defaults.
    const bool lookBack = g->lookingBack(name);
    if (e && !lookBack && e->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY && g->m_ctxt->replaceEntities
        && !g->m_readExternal) {
        g->refuseExternal(e, "&");
        return nullptr;
    }
    if (e && !lookBack && (e->etype == XML_INTERNAL_GENERAL_ENTITY || e->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY)) {
        g->m_expansion += g->expanded(e, 0);
        if (g->m_expansion > MaxEntityExpansion) {
            g->refuse(QStringLiteral("Entity references expand to more than %1 bytes of text, the most that is accepted")
                          .arg(MaxEntityExpansion));
            return nullptr;
        }
    }
    return e;
}

} // namespace owb::xmlparse
