#include "xml/ParseGuard.h"

#include <libxml/entities.h>
#include <libxml/parserInternals.h>

#include <cstring>

namespace owb::xmlparse {

namespace {

Guard *guardOf(void *ctx)
{
    return static_cast<Guard *>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

// Far beyond any bound, and safe to add up.
constexpr quint64 Unbounded = quint64(1) << 60;

} // namespace

Guard::Guard(xmlParserCtxtPtr ctxt, int envelope)
    : m_ctxt(ctxt), m_user(ctxt->_private), m_maxDepth(xmllimits::MaxDepth + envelope), m_start(ctxt->sax->startElementNs),
      m_end(ctxt->sax->endElementNs), m_entity(ctxt->sax->getEntity), m_declare(ctxt->sax->entityDecl)
{
    ctxt->_private = this;
    ctxt->sax->startElementNs = &Guard::start;
    ctxt->sax->endElementNs = &Guard::end;
    ctxt->sax->getEntity = &Guard::entity;
    if (m_declare)
        ctxt->sax->entityDecl = &Guard::declared;
}

Guard::~Guard()
{
    m_ctxt->_private = m_user;
    m_ctxt->sax->startElementNs = m_start;
    m_ctxt->sax->endElementNs = m_end;
    m_ctxt->sax->getEntity = m_entity;
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
    g->m_declared = QByteArray(reinterpret_cast<const char *>(name));
}

xmlEntityPtr Guard::entity(void *ctx, const xmlChar *name)
{
    Guard *g = guardOf(ctx);
    if (g->refused())
        return nullptr;
    xmlEntityPtr e = g->m_entity ? g->m_entity(ctx, name) : xmlGetPredefinedEntity(name);
    // Right after a declaration the parser looks the entity up to keep its raw text; that is
    // no use of it. Every other reference counts, also those in the DTD's attribute defaults.
    const bool lookBack = !g->m_declared.isNull() && g->m_declared == reinterpret_cast<const char *>(name);
    g->m_declared = QByteArray();
    if (e && !lookBack && e->etype == XML_INTERNAL_GENERAL_ENTITY) {
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
