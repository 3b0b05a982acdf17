#include "schema/XsdStream.h"

#include "xml/Namespaces.h"
#include "xml/ParseGuard.h"

#include <QList>

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

#include <cstring>

namespace owb::xsdstream {

namespace {

using Issue = XsdValidator::Issue;

QString str(const xmlChar *s) { return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString(); }

// A parser over bytes whose SAX callbacks are the default ones except where the caller
// overrides them; ctxt->userData stays the context itself, as those defaults expect.
struct Parser {
    xmlParserCtxtPtr ctxt = nullptr;

    Parser(const QByteArray &bytes, const QString &url)
    {
        ctxt = xmlCreateMemoryParserCtxt(bytes.constData(), int(bytes.size()));
        if (!ctxt)
            return;
        xmlCtxtUseOptions(ctxt, xmlparse::Substituting);
        if (ctxt->input && !ctxt->input->filename)
            ctxt->input->filename = reinterpret_cast<char *>(xmlStrdup(BAD_CAST url.toUtf8().constData()));
    }
    ~Parser()
    {
        if (!ctxt)
            return;
        if (ctxt->myDoc)
            xmlFreeDoc(ctxt->myDoc);
        xmlFreeParserCtxt(ctxt);
    }
    Parser(const Parser &) = delete;
    Parser &operator=(const Parser &) = delete;
};

// Collects parser and validator errors, in the order raised.
struct Collector {
    QList<Issue> issues;
    int max = 1;

    static void onError(void *ctx, xmlErrorPtr err)
    {
        auto *self = static_cast<Collector *>(ctx);
        if (!err || err->level < XML_ERR_ERROR || self->issues.size() >= self->max)
            return;
        self->issues << Issue{err->line, str(BAD_CAST err->message).trimmed(), true};
    }
};

// ---------------------------------------------------------------- root scan

thread_local RootHint *t_hint = nullptr;

void scanStart(void *ctx, const xmlChar *, const xmlChar *, const xmlChar *uri, int, const xmlChar **, int nbAttributes,
               int, const xmlChar **attributes)
{
    RootHint &h = *t_hint;
    h.found = true;
    h.ns = str(uri);
    for (int i = 0; i < nbAttributes; ++i) {
        const xmlChar **a = attributes + 5 * i;   // local name, prefix, URI, value, value end
        if (!xmlStrEqual(a[2], BAD_CAST owb::ns::XSI))
            continue;
        const QString value = QString::fromUtf8(reinterpret_cast<const char *>(a[3]), int(a[4] - a[3]));
        if (xmlStrEqual(a[0], BAD_CAST "schemaLocation"))
            h.schemaLocation = value;
        else if (xmlStrEqual(a[0], BAD_CAST "noNamespaceSchemaLocation"))
            h.noNamespaceSchemaLocation = value;
    }
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

// ---------------------------------------------------------------- validating pass

// The validator's callbacks, and the start line of every open element: a validator walking
// a tree reports an element's errors at the line of its start tag, also those found at its end.
struct Stream {
    xmlParserCtxtPtr ctxt = nullptr;
    void *validator = nullptr;
    xmlSAXHandler v{};
    QList<int> openLines;
    int line = 0;   // the element the validator works on
    QByteArray url;
    Collector *collector = nullptr;
};

thread_local Stream *t_stream = nullptr;

int contextLine()
{
    return t_stream->openLines.isEmpty() ? 0 : t_stream->openLines.last();
}

void streamStart(void *, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri, int nbNamespaces,
                 const xmlChar **namespaces, int nbAttributes, int nbDefaulted, const xmlChar **attributes)
{
    Stream &s = *t_stream;
    s.openLines << xmlSAX2GetLineNumber(s.ctxt);
    s.line = contextLine();
    s.v.startElementNs(s.validator, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted,
                       attributes);
}

void streamEnd(void *, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri)
{
    Stream &s = *t_stream;
    s.line = contextLine();
    s.v.endElementNs(s.validator, localname, prefix, uri);
    if (!s.openLines.isEmpty())
        s.openLines.removeLast();
}

void streamText(void *, const xmlChar *ch, int len)
{
    Stream &s = *t_stream;
    s.line = contextLine();
    s.v.characters(s.validator, ch, len);
}

void streamCData(void *, const xmlChar *ch, int len)
{
    Stream &s = *t_stream;
    s.line = contextLine();
    s.v.cdataBlock(s.validator, ch, len);
}

// Declared entities come substituted; one declared outside the document (in a DTD that is
// never read) has no text, and the validator would skip it without a word.
void streamReference(void *, const xmlChar *name)
{
    Stream &s = *t_stream;
    if (s.collector->issues.size() < s.collector->max)
        s.collector->issues << Issue{contextLine(),
                                     QStringLiteral("Entity reference &%1; cannot be validated: the document does "
                                                    "not declare it")
                                         .arg(str(name)),
                                     true};
}

int locate(void *, const char **file, unsigned long *line)
{
    *file = t_stream->url.constData();
    *line = static_cast<unsigned long>(qMax(0, t_stream->line));
    return 0;
}

// Points a thread's callback state at a value for one parse.
template <typename T>
class Installed {
public:
    Installed(T *&slot, T *value) : m_slot(slot) { m_slot = value; }
    ~Installed() { m_slot = nullptr; }
    Installed(const Installed &) = delete;
    Installed &operator=(const Installed &) = delete;

private:
    T *&m_slot;
};

} // namespace

xmlDocPtr parseDocument(const QByteArray &bytes, const QString &url, QString *refused, const char *encoding)
{
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        *refused = QStringLiteral("out of memory");
        return nullptr;
    }
    const QByteArray base = url.toUtf8();
    xmlDocPtr doc = nullptr;
    {
        const xmlparse::RefuseLoads noLoads;
        const xmlparse::Guard guard(ctxt);
        doc = xmlCtxtReadMemory(ctxt, bytes.constData(), int(bytes.size()), base.constData(), encoding,
                                xmlparse::Substituting);
        *refused = guard.reason();
    }
    if (doc && (!ctxt->wellFormed || !refused->isEmpty())) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    xmlFreeParserCtxt(ctxt);
    return doc;
}

RootHint scanRoot(const QByteArray &bytes, const QString &url)
{
    RootHint hint;
    Collector errors;
    Parser p(bytes, url);
    if (!p.ctxt) {
        hint.issue = Issue{0, QStringLiteral("Out of memory while reading the document"), true};
        return hint;
    }
    p.ctxt->sax->startElementNs = &scanStart;
    const Installed<RootHint> installed(t_hint, &hint);
    {
        ErrorRoute redirect(&errors, &Collector::onError);
        const xmlparse::RefuseLoads noLoads;
        const xmlparse::Guard guard(p.ctxt);
        xmlParseDocument(p.ctxt);
        if (guard.refused())
            errors.issues.prepend(Issue{guard.line(), guard.reason(), true});
    }
    if (!hint.found)
        hint.issue = errors.issues.isEmpty() ? Issue{0, QStringLiteral("The document has no root element"), true}
                                             : errors.issues.first();
    return hint;
}

QList<Issue> validate(const QByteArray &bytes, const QString &url, xmlSchemaPtr schema, int maxIssues)
{
    Collector errors;
    errors.max = qMax(1, maxIssues);
    xmlSchemaValidCtxtPtr vc = xmlSchemaNewValidCtxt(schema);
    Parser p(bytes, url);
    if (!vc || !p.ctxt) {
        if (vc)
            xmlSchemaFreeValidCtxt(vc);
        return {Issue{0, QStringLiteral("Out of memory while validating"), false}};
    }
    xmlSchemaSetValidStructuredErrors(vc, &Collector::onError, &errors);

    Stream s;
    s.ctxt = p.ctxt;
    s.url = url.toUtf8();
    s.collector = &errors;
    xmlSAXHandlerPtr direct = nullptr;   // none of our own: the validator's callbacks come bare
    xmlSchemaSAXPlugPtr plug = xmlSchemaSAXPlug(vc, &direct, &s.validator);
    if (!plug) {
        xmlSchemaFreeValidCtxt(vc);
        return {Issue{0, QStringLiteral("The validator could not be started"), false}};
    }
    std::memcpy(&s.v, direct, sizeof s.v);
    xmlSchemaValidateSetLocator(vc, &locate, nullptr);

    // The default callbacks still keep the doctype's declarations; no tree is built.
    xmlSAXHandlerPtr sax = p.ctxt->sax;
    sax->startElementNs = &streamStart;
    sax->endElementNs = &streamEnd;
    sax->characters = &streamText;
    sax->ignorableWhitespace = &streamText;
    sax->cdataBlock = &streamCData;
    sax->reference = &streamReference;
    sax->comment = nullptr;
    sax->processingInstruction = nullptr;

    const Installed<Stream> installed(t_stream, &s);
    bool wellFormed = false;
    {
        ErrorRoute redirect(&errors, &Collector::onError);
        const xmlparse::RefuseLoads noLoads;
        const xmlparse::Guard guard(p.ctxt);
        xmlParseDocument(p.ctxt);
        wellFormed = p.ctxt->wellFormed && p.ctxt->nsWellFormed && !guard.refused();
        if (guard.refused() && errors.issues.size() < errors.max)
            errors.issues << Issue{guard.line(), guard.reason(), true};
    }
    const bool valid = xmlSchemaIsValid(vc) == 1;
    xmlSchemaSAXUnplug(plug);
    xmlSchemaFreeValidCtxt(vc);
    if ((!valid || !wellFormed) && errors.issues.isEmpty())
        errors.issues << Issue{0, QStringLiteral("The document is not valid"), true};
    return errors.issues;
}

} // namespace owb::xsdstream
