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

Parsed parse(std::string_view utf8, bool forceUtf8, bool huge)
{
    initialise();
    Parsed out;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        out.error = "out of memory";
        return out;
    }
    // Never XML_PARSE_NOENT or DTDLOAD: no entity from outside the text is read.
    int options = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;
    if (huge) options |= XML_PARSE_HUGE;
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, utf8.data(), int(utf8.size()), nullptr, forceUtf8 ? "UTF-8" : nullptr, options);
    if (!doc || !ctxt->wellFormed) {
        const xmlError *err = xmlCtxtGetLastError(ctxt);
        std::string reason = err && err->message ? err->message : "document is not well-formed";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
        if (err)
            out.error = "line " + std::to_string(err->line) + ", column " + std::to_string(err->int2) + ": " + reason;
        else
            out.error = reason;
        if (doc) xmlFreeDoc(doc);
    } else if (!xmlDocGetRootElement(doc)) {
        out.error = "the document has no root element";
        xmlFreeDoc(doc);
    } else {
        out.doc.reset(doc);
    }
    xmlFreeParserCtxt(ctxt);
    return out;
}

std::string serialize(xmlNodePtr node)
{
    xmlBufferPtr buf = xmlBufferCreate();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buf, "UTF-8", XML_SAVE_NO_DECL);
    xmlSaveTree(save, node);
    xmlSaveClose(save);
    std::string out(reinterpret_cast<const char *>(xmlBufferContent(buf)), size_t(xmlBufferLength(buf)));
    xmlBufferFree(buf);
    return out;
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
    xmlChar *v = ns ? xmlGetNsProp(node, BAD_CAST name, BAD_CAST ns) : xmlGetNoNsProp(node, BAD_CAST name);
    if (!v) return false;
    out = reinterpret_cast<const char *>(v);
    xmlFree(v);
    return true;
}

bool isNCName(std::string_view s)
{
    std::string z(s);
    return !z.empty() && xmlValidateNCName(BAD_CAST z.c_str(), 0) == 0;
}

} // namespace ostreld::xml
