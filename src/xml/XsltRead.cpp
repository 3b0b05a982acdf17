#include "xml/XsltRead.h"
#include "common/OstrelError.h"
#include "xml/DomInternal.h"
#include "xml/ParseGuard.h"

#include <libxml/parser.h>

#include <optional>

namespace owb::xsltread {

using namespace domdetail;

namespace {

[[noreturn]] void fail(const QString &what) { throw OstrelError(QStringLiteral("XSLT"), what); }

bool holdsReferences(xmlNodePtr n)
{
    for (; n; n = n->next) {
        if (n->type == XML_ENTITY_REF_NODE)
            return true;
        if (n->type == XML_ELEMENT_NODE) {
            for (xmlAttrPtr a = n->properties; a; a = a->next)
                if (holdsReferences(a->children))
                    return true;
            if (holdsReferences(n->children))
                return true;
        }
    }
    return false;
}

// CDATA sections become text, as the processor reads documents itself (a copied section
// would come out as a section again).
void cdataAsText(xmlNodePtr parent)
{
    for (xmlNodePtr c = parent->children; c; c = c->next) {
        if (c->type == XML_CDATA_SECTION_NODE) {
            xmlNodePtr t = xmlNewDocText(c->doc, c->content);
            xmlReplaceNode(c, t);
            xmlFreeNode(c);
            c = t;
        }
        if (c->type == XML_TEXT_NODE && c->prev && c->prev->type == XML_TEXT_NODE) {
            xmlNodePtr prev = c->prev;
            xmlTextMerge(prev, c);
            c = prev;
        }
        if (c->type == XML_ELEMENT_NODE)
            cdataAsText(c);
    }
}

} // namespace

// A document that keeps references is read again from its text, so that the replacement
// follows XML's own rules.
xmlDocPtr valueCopy(xmlDocPtr doc, const QString &what, bool module)
{
    if (!holdsReferences(doc->children)) {
        xmlDocPtr copy = xmlCopyDoc(doc, 1);
        if (!copy)
            fail(QStringLiteral("Cannot copy the %1").arg(what));
        cdataAsText(reinterpret_cast<xmlNodePtr>(copy));
        return copy;
    }
    const QByteArray text = saveBytes(XML_SAVE_AS_XML, [doc](xmlSaveCtxtPtr sc) { xmlSaveDoc(sc, doc); });
    ErrorCapture cap;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        fail(QStringLiteral("Out of memory while reading the %1").arg(what));
    xmlDocPtr copy = nullptr;
    QString refused;
    {
        std::optional<xmlparse::RefuseLoads> noLoads;
        if (!module)
            noLoads.emplace();
        const xmlparse::Guard guard(ctxt, 0, module);
        copy = xmlCtxtReadMemory(ctxt, text.constData(), int(text.size()), reinterpret_cast<const char *>(doc->URL),
                                 nullptr, xmlparse::Substituting | XML_PARSE_NOCDATA);
        refused = guard.reason();
    }
    const bool ok = copy && ctxt->wellFormed && refused.isEmpty();
    xmlFreeParserCtxt(ctxt);
    if (!ok) {
        if (copy)
            xmlFreeDoc(copy);
        fail(QStringLiteral("Cannot read the entities of the %1: %2")
                 .arg(what, refused.isEmpty() ? cap.message() : refused));
    }
    return copy;
}


} // namespace owb::xsltread
