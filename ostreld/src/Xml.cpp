#include "Xml.h"

#include <mutex>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

namespace ostreld::xml {

namespace {
xmlParserInputPtr refuseExternal(const char *, const char *, xmlParserCtxtPtr)
{
    return nullptr;
}
void quiet(void *, xmlErrorPtr) {}

// Depth is counted in the SAX events, so a deep document is refused before its tree is
// built (freeing and copying a tree recurse into it). References to declared entities are
// refused at their first use: with HUGE, libxml2 no longer bounds what they expand to, and an
// entity in an attribute value is expanded even without substitution.
struct ParseLimits {
    int max = 0;
    int depth = 0;
    bool exceeded = false;
    bool entityUsed = false;
    std::string declared; // the entity whose declaration the parser looks up once more
    startElementNsSAX2Func start = nullptr;
    endElementNsSAX2Func end = nullptr;
    getEntitySAXFunc getEntity = nullptr;
    getParameterEntitySAXFunc getParameterEntity = nullptr;
    entityDeclSAXFunc entityDecl = nullptr;
};
thread_local ParseLimits *t_limit = nullptr;

void startCounted(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri, int nbNs,
                  const xmlChar **ns, int nbAttrs, int nbDefaulted, const xmlChar **attrs)
{
    ParseLimits *l = t_limit;
    if (l->max > 0 && ++l->depth > l->max) {
        l->exceeded = true;
        xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
        return;
    }
    l->start(ctx, localname, prefix, uri, nbNs, ns, nbAttrs, nbDefaulted, attrs);
}

void endCounted(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri)
{
    if (t_limit->max > 0) --t_limit->depth;
    t_limit->end(ctx, localname, prefix, uri);
}

void refuseEntity(void *ctx)
{
    t_limit->entityUsed = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

// The parser looks a declaration up once more right after making it; that is no use.
bool justDeclared(const xmlChar *name)
{
    ParseLimits *l = t_limit;
    if (l->declared.empty() || l->declared != reinterpret_cast<const char *>(name)) return false;
    l->declared.clear();
    return true;
}

xmlEntityPtr entityLookedUp(void *ctx, const xmlChar *name)
{
    xmlEntityPtr e = t_limit->getEntity(ctx, name);
    if (!e || e->etype == XML_INTERNAL_PREDEFINED_ENTITY || justDeclared(name)) return e;
    refuseEntity(ctx);
    return nullptr;
}

xmlEntityPtr parameterEntityLookedUp(void *ctx, const xmlChar *name)
{
    xmlEntityPtr e = t_limit->getParameterEntity(ctx, name);
    if (!e || justDeclared(name)) return e;
    refuseEntity(ctx);
    return nullptr;
}

void entityDeclared(void *ctx, const xmlChar *name, int type, const xmlChar *publicId, const xmlChar *systemId,
                    xmlChar *content)
{
    t_limit->declared = reinterpret_cast<const char *>(name);
    t_limit->entityDecl(ctx, name, type, publicId, systemId, content);
}
} // namespace

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternal);
    });
    // Per thread in libxml2: set it on every call.
    xmlSetStructuredErrorFunc(nullptr, quiet);
}

Parsed parse(std::string_view utf8, bool forceUtf8, int maxDepth)
{
    initialise();
    Parsed out;
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        out.error = "out of memory";
        return out;
    }
    // Never XML_PARSE_NOENT or DTDLOAD: no entity from outside the text is read.
    // HUGE lifts the size limits of texts and names; depth is bounded below instead.
    int options = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_HUGE;
    ParseLimits limit;
    limit.max = maxDepth;
    limit.start = ctxt->sax->startElementNs;
    limit.end = ctxt->sax->endElementNs;
    limit.getEntity = ctxt->sax->getEntity;
    limit.getParameterEntity = ctxt->sax->getParameterEntity;
    limit.entityDecl = ctxt->sax->entityDecl;
    ctxt->sax->startElementNs = startCounted;
    ctxt->sax->endElementNs = endCounted;
    ctxt->sax->getEntity = entityLookedUp;
    ctxt->sax->getParameterEntity = parameterEntityLookedUp;
    ctxt->sax->entityDecl = entityDeclared;
    t_limit = &limit;
    DocPtr doc(xmlCtxtReadMemory(ctxt.get(), utf8.data(), int(utf8.size()), nullptr, forceUtf8 ? "UTF-8" : nullptr,
                                 options));
    t_limit = nullptr;
    if (limit.entityUsed) {
        out.entityUsed = true;
        out.error = "the document refers to a declared entity";
    } else if (limit.exceeded) {
        out.tooDeep = true;
        out.error = "elements nest deeper than " + std::to_string(maxDepth) + " levels";
    } else if (!doc || !ctxt->wellFormed) {
        const xmlError *err = xmlCtxtGetLastError(ctxt.get());
        std::string reason = err && err->message ? err->message : "document is not well-formed";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
        if (err)
            out.error = "line " + std::to_string(err->line) + ", column " + std::to_string(err->int2) + ": " + reason;
        else
            out.error = reason;
    } else if (!xmlDocGetRootElement(doc.get())) {
        out.error = "the document has no root element";
    } else {
        out.doc = std::move(doc);
    }
    return out;
}

std::string serialize(xmlNodePtr node)
{
    BufferPtr buf(xmlBufferCreate());
    {
        SaveCtxtPtr save(xmlSaveToBuffer(buf.get(), "UTF-8", XML_SAVE_NO_DECL));
        xmlSaveTree(save.get(), node);
    }
    return std::string(reinterpret_cast<const char *>(xmlBufferContent(buf.get())), size_t(xmlBufferLength(buf.get())));
}

std::string localName(xmlNodePtr node)
{
    return node && node->name ? reinterpret_cast<const char *>(node->name) : "";
}

std::string nsUri(xmlNodePtr node)
{
    return node && node->ns && node->ns->href ? reinterpret_cast<const char *>(node->ns->href) : "";
}

bool attribute(xmlNodePtr node, const char *name, const char *ns, std::string &out)
{
    CharsPtr v(ns ? xmlGetNsProp(node, BAD_CAST name, BAD_CAST ns) : xmlGetNoNsProp(node, BAD_CAST name));
    if (!v) return false;
    out = reinterpret_cast<const char *>(v.get());
    return true;
}

bool isNCName(std::string_view s)
{
    std::string z(s);
    return !z.empty() && xmlValidateNCName(BAD_CAST z.c_str(), 0) == 0;
}

} // namespace ostreld::xml
