// Parsing, with the parser's errors captured and blank text dropped.
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"
#include "xml/ParseGuard.h"
#include "xml/XmlEncoding.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <mutex>
#include <optional>

namespace owb {

using namespace domdetail;

namespace {

bool startsWithDeclaration(const QByteArray &b)
{
    qsizetype i = 0;
    if (b.startsWith("\xEF\xBB\xBF"))
        i = 3;
    return b.mid(i, 6) == "<?xml " || b.mid(i, 6) == "<?xml\t" || b.mid(i, 6) == "<?xml\n"
        || b.mid(i, 6) == "<?xml\r";
}

} // namespace

namespace domdetail {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlparse::RefuseLoads::install();
    });
}

QString sourceLine(const QByteArray &bytes, int line)
{
    if (line <= 0)
        return {};
    qsizetype start = 0;
    for (int l = 1; l < line; ++l) {
        start = bytes.indexOf('\n', start);
        if (start < 0)
            return {};
        ++start;
    }
    qsizetype end = bytes.indexOf('\n', start);
    if (end < 0)
        end = bytes.size();
    QByteArray s = bytes.mid(start, end - start);
    if (s.endsWith('\r'))
        s.chop(1);
    return QString::fromUtf8(s);
}

ErrorCapture::ErrorCapture()
    : m_oldFn(xmlStructuredError), m_oldCtx(xmlStructuredErrorContext)
{
    xmlSetStructuredErrorFunc(this, &ErrorCapture::handler);
}

ErrorCapture::~ErrorCapture() { xmlSetStructuredErrorFunc(m_oldCtx, m_oldFn); }

void ErrorCapture::handler(void *ctx, xmlErrorPtr err)
{
    auto *self = static_cast<ErrorCapture *>(ctx);
    if (!err || err->level < XML_ERR_ERROR || err->domain == XML_FROM_VALID)
        return;
    const QString msg = QString::fromUtf8(err->message ? err->message : "").trimmed();
    self->m_all.append(msg);
    if (self->m_has)
        return;
    self->m_has = true;
    self->m_message = msg;
    self->m_line = err->line;
    self->m_column = err->int2;
    self->m_code = err->code;
}


void dropBlankText(xmlNodePtr node, bool preserve)
{
    for (xmlNodePtr el = node; el; el = nullptr) {
        if (el->type == XML_ELEMENT_NODE) {
            xmlChar *sp = xmlGetNsProp(el, BAD_CAST "space", XML_XML_NAMESPACE);
            if (sp) {
                if (xmlStrEqual(sp, BAD_CAST "preserve"))
                    preserve = true;
                else if (xmlStrEqual(sp, BAD_CAST "default"))
                    preserve = false;
                xmlFree(sp);
            }
        }
        // Blanks are layout only between the elements of element-only content; an element's
        // only text, blank or not, is its value.
        bool elements = false;
        bool mixed = false;
        for (xmlNodePtr c = el->children; c && !mixed; c = c->next) {
            if (c->type == XML_ELEMENT_NODE)
                elements = true;
            else if ((c->type == XML_TEXT_NODE && !isBlank(c->content)) || c->type == XML_CDATA_SECTION_NODE
                     || c->type == XML_ENTITY_REF_NODE)
                mixed = true;
        }
        const bool layout = !preserve && elements && !mixed;
        xmlNodePtr c = el->children;
        while (c) {
            xmlNodePtr next = c->next;
            if (c->type == XML_TEXT_NODE && layout && isBlank(c->content)) {
                xmlUnlinkNode(c);
                xmlFreeNode(c);
            } else if (c->type == XML_ELEMENT_NODE) {
                dropBlankText(c, preserve);
            }
            c = next;
        }
    }
}

} // namespace domdetail

namespace {

struct LineTrack {
    startElementNsSAX2Func original = nullptr;
};

// libxml2 keeps lines above 65535 on text nodes only; an element's unused psvi slot holds
// them here.
void startElementTracked(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *URI,
                         int nb_namespaces, const xmlChar **namespaces, int nb_attributes, int nb_defaulted,
                         const xmlChar **attributes)
{
    auto *ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto *track = static_cast<LineTrack *>(xmlparse::Guard::user(ctx));
    track->original(ctx, localname, prefix, URI, nb_namespaces, namespaces, nb_attributes, nb_defaulted, attributes);
    if (ctxt->node && ctxt->input && ctxt->input->line >= 65535)
        ctxt->node->psvi = reinterpret_cast<void *>(static_cast<intptr_t>(ctxt->input->line));
}

} // namespace

bool DomDocument::parseInto(const QByteArray &bytes, const QString &url, const char *encoding, int envelope)
{
    m_s->error = DomParseError();
    m_s->error.url = url;
    const QByteArray base = url.toUtf8();
    ErrorCapture cap;
    LineTrack track;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    xmlDocPtr doc = nullptr;
    bool ok = false;
    QString refused;
    int refusedLine = 0;
    if (ctxt) {
        track.original = ctxt->sax->startElementNs;
        ctxt->sax->startElementNs = &startElementTracked;
        ctxt->_private = &track;
        {
            const bool local = m_s->entities == DomEntities::WithLocalFiles;
            std::optional<xmlparse::RefuseLoads> noLoads;
            if (!local)
                noLoads.emplace();
            xmlparse::Guard guard(ctxt, envelope, local);
            doc = xmlCtxtReadMemory(ctxt, bytes.constData(), int(bytes.size()),
                                    base.isEmpty() ? nullptr : base.constData(), encoding,
                                    m_s->entities == DomEntities::Kept ? xmlparse::Options : xmlparse::Substituting);
            refused = guard.reason();
            refusedLine = guard.line();
        }
        ok = doc && ctxt->wellFormed && ctxt->nsWellFormed && refused.isEmpty();
        xmlFreeParserCtxt(ctxt);
    }
    if (!ok) {
        if (doc)
            xmlFreeDoc(doc);
        // A bound of ours comes first: the parser only saw itself stopped.
        const bool ours = !refused.isEmpty();
        const int line = ours ? refusedLine : cap.line();
        m_s->error.reason = ours           ? refused
            : cap.hasError()               ? cap.message()
                                           : QStringLiteral("The document is not well-formed");
        m_s->error.line = line;
        m_s->error.column = ours ? 0 : cap.column();
        m_s->error.errorCode = !ours && cap.code() ? cap.code() : -1;
        m_s->error.srcText = ours ? QString() : sourceLine(bytes, line);
        // Bytes in their own encoding: one that is not valid there is the cause, told where it
        // stands (the parser tells only that a conversion failed, or what followed from it).
        if (!encoding && !ours) {
            const xmlencoding::Decoded d = xmlencoding::decode(bytes);
            if (!d.ok()) {
                m_s->error.reason = d.reason;
                m_s->error.line = d.line;
                m_s->error.column = d.column;
                m_s->error.srcText = sourceLine(bytes, d.line);
            }
        }
        return false;
    }
    m_s->cur = newHolder(doc, m_s->cur->ns);
    m_s->cur->hadDeclaration = startsWithDeclaration(bytes);
    m_s->cur->sourceBytes = bytes.size();
    if (!m_s->preserve)
        for (xmlNodePtr c = doc->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE)
                dropBlankText(c, false);
    return true;
}

} // namespace owb
