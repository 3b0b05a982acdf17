#include "xml/Xslt.h"
#include "xml/DomInternal.h"
#include "common/OstrelError.h"
#include "xml/ParseGuard.h"
#include "xml/XsltRead.h"

#include <QStringDecoder>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libexslt/exslt.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <mutex>
#include <optional>

namespace owb {

using namespace domdetail;

namespace {

// libxslt reports through one process-wide function; collect per thread.
thread_local QStringList *t_messages = nullptr;

void collectGeneric(void *, const char *fmt, ...)
{
    if (!t_messages)
        return;
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    const QString piece = QString::fromUtf8(buf);
    // Messages arrive in pieces; a line is complete at its newline.
    if (t_messages->isEmpty() || t_messages->last().endsWith(QLatin1Char('\n')))
        t_messages->append(piece);
    else
        t_messages->last() += piece;
}

// What a stylesheet includes or reads with document() is parsed under the same bounds as every
// other document, its entities substituted as libxslt asks, but no DTD read. A module may
// read external entities from local files as the stylesheet reads the module itself; a
// document read with document() is data, and reads none.
xmlDocPtr loadGuarded(const xmlChar *uri, xmlDictPtr dict, int options, void *, xsltLoadType type)
{
    const bool module = type != XSLT_LOAD_DOCUMENT;
    xmlParserCtxtPtr pctxt = xmlNewParserCtxt();
    if (!pctxt)
        return nullptr;
    if (dict) {
        // The stylesheet's names must come from its own dictionary.
        if (pctxt->dict)
            xmlDictFree(pctxt->dict);
        pctxt->dict = dict;
        xmlDictReference(dict);
    }
    xmlCtxtUseOptions(pctxt, xmlparse::Options | (options & (XML_PARSE_NOCDATA | XML_PARSE_NOENT)));
    xmlParserInputPtr input = xmlLoadExternalEntity(reinterpret_cast<const char *>(uri), nullptr, pctxt);
    if (!input) {
        xmlFreeParserCtxt(pctxt);
        return nullptr;
    }
    inputPush(pctxt, input);
    if (!pctxt->directory)
        pctxt->directory = xmlParserGetDirectory(reinterpret_cast<const char *>(uri));
    bool refused = false;
    {
        std::optional<xmlparse::RefuseLoads> noLoads;
        if (!module)
            noLoads.emplace();
        const xmlparse::Guard guard(pctxt, 0, module);
        xmlParseDocument(pctxt);
        refused = guard.refused();
        if (refused && t_messages)
            t_messages->append(str(uri) + QStringLiteral(": ") + guard.reason() + QLatin1Char('\n'));
    }
    xmlDocPtr doc = pctxt->myDoc;
    if (!pctxt->wellFormed || refused) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    pctxt->myDoc = nullptr;
    xmlFreeParserCtxt(pctxt);
    return doc;
}

xsltSecurityPrefsPtr securityPrefs()
{
    static xsltSecurityPrefsPtr prefs = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        initLibrary();
        xsltInit();
        exsltRegisterAll();
        xsltSetGenericErrorFunc(nullptr, &collectGeneric);
        prefs = xsltNewSecurityPrefs();
        xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
        xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
        xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
        xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
        xsltSetDefaultSecurityPrefs(prefs);
        xsltSetLoaderFunc(&loadGuarded);
    });
    return prefs;
}

// Collects what libxml2 and libxslt report while it lives.
class XsltErrors {
public:
    XsltErrors() : m_prev(t_messages) { t_messages = &m_messages; }
    ~XsltErrors() { t_messages = m_prev; }
    QString text(const ErrorCapture &xml, const QString &fallback) const
    {
        QStringList all = lines();
        if (xml.hasError())
            all.append(xml.allMessages());
        return all.isEmpty() ? fallback : all.join(QLatin1Char('\n'));
    }
    QStringList lines() const
    {
        QStringList all;
        for (const QString &m : m_messages)
            if (!m.trimmed().isEmpty())
                all.append(m.trimmed());
        return all;
    }

private:
    QStringList m_messages;
    QStringList *m_prev;
};

[[noreturn]] void fail(const QString &what) { throw OstrelError(QStringLiteral("XSLT"), what); }

} // namespace

XsltTransform::XsltTransform() { securityPrefs(); }

XsltTransform::~XsltTransform()
{
    if (m_style)
        xsltFreeStylesheet(m_style);
}

XsltTransform::XsltTransform(XsltTransform &&other) noexcept : m_style(other.m_style) { other.m_style = nullptr; }

XsltTransform &XsltTransform::operator=(XsltTransform &&other) noexcept
{
    if (this != &other) {
        if (m_style)
            xsltFreeStylesheet(m_style);
        m_style = other.m_style;
        other.m_style = nullptr;
    }
    return *this;
}

namespace {

xsltStylesheetPtr compile(xmlDocPtr doc)
{
    // The stylesheet takes the document; on failure it is ours to free.
    ErrorCapture xml;
    XsltErrors xslt;
    xsltStylesheetPtr style = xsltParseStylesheetDoc(doc);
    // libxslt only warns about unknown XSLT instructions; for us a stylesheet with them is broken.
    if (!style || style->errors > 0 || style->warnings > 0) {
        const QString why = xslt.text(xml, QStringLiteral("The document is not an XSLT stylesheet"));
        if (style)
            xsltFreeStylesheet(style);
        else
            xmlFreeDoc(doc);
        fail(QStringLiteral("Invalid stylesheet: %1").arg(why));
    }
    return style;
}

} // namespace

void XsltTransform::loadStylesheet(const QString &text, const QString &baseUrl)
{
    securityPrefs();
    const QByteArray bytes = text.toUtf8();
    const QByteArray base = baseUrl.toUtf8();
    ErrorCapture cap;
    // Blanks are kept here: xsl:text relies on them.
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        fail(QStringLiteral("Out of memory while reading the stylesheet"));
    xmlDocPtr doc = nullptr;
    QString refused;
    int refusedLine = 0;
    {
        const xmlparse::Guard guard(ctxt, 0, true);
        doc = xmlCtxtReadMemory(ctxt, bytes.constData(), int(bytes.size()), base.isEmpty() ? nullptr : base.constData(),
                                "UTF-8", xmlparse::Substituting | XML_PARSE_NOCDATA);
        refused = guard.reason();
        refusedLine = guard.line();
    }
    xmlFreeParserCtxt(ctxt);
    if (!doc || cap.hasError() || !refused.isEmpty()) {
        if (doc)
            xmlFreeDoc(doc);
        fail(QStringLiteral("Stylesheet is not well-formed: %1 (line %2)")
                 .arg(refused.isEmpty() ? cap.message() : refused)
                 .arg(refused.isEmpty() ? cap.line() : refusedLine));
    }
    xsltStylesheetPtr style = compile(doc);
    if (m_style)
        xsltFreeStylesheet(m_style);
    m_style = style;
}

void XsltTransform::loadStylesheet(const DomDocument &stylesheet)
{
    securityPrefs();
    if (stylesheet.documentElement().isNull())
        fail(QStringLiteral("The stylesheet document is empty"));
    xsltStylesheetPtr style = compile(xsltread::valueCopy(DomAccess::doc(stylesheet), QStringLiteral("stylesheet"), true));
    if (m_style)
        xsltFreeStylesheet(m_style);
    m_style = style;
}

namespace {

QString methodOf(const xsltStylesheet *style)
{
    if (!style || !style->method)
        return {};
    if (style->methodURI)
        return QLatin1Char('{') + str(style->methodURI) + QLatin1Char('}') + str(style->method);
    return str(style->method);
}

bool declaresOutput(const xsltStylesheet *style)
{
    const xmlNode *root = style && style->doc ? xmlDocGetRootElement(style->doc) : nullptr;
    for (const xmlNode *c = root ? root->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && c->ns && xmlStrEqual(c->ns->href, XSLT_NAMESPACE)
            && xmlStrEqual(c->name, BAD_CAST "output"))
            return true;
    return false;
}

} // namespace

QString XsltTransform::outputMethod() const
{
    return methodOf(m_style);
}

namespace {

// Runs the stylesheet over a copy: xsl:strip-space edits the source tree in place.
xmlDocPtr apply(xsltStylesheetPtr style, const DomDocument &source, QStringList *messages = nullptr)
{
    if (!style)
        fail(QStringLiteral("No stylesheet loaded"));
    if (source.documentElement().isNull())
        fail(QStringLiteral("The source document is empty"));
    xmlDocPtr input = xsltread::valueCopy(DomAccess::doc(source), QStringLiteral("source document"), false);
    ErrorCapture xml;
    XsltErrors xslt;
    xsltTransformContextPtr ctxt = xsltNewTransformContext(style, input);
    if (!ctxt) {
        xmlFreeDoc(input);
        fail(QStringLiteral("Cannot start the transformation"));
    }
    xsltSetCtxtSecurityPrefs(securityPrefs(), ctxt);
    xmlDocPtr result = xsltApplyStylesheetUser(style, input, nullptr, nullptr, nullptr, ctxt);
    const bool failed = !result || ctxt->state == XSLT_STATE_ERROR || ctxt->state == XSLT_STATE_STOPPED;
    xsltFreeTransformContext(ctxt);
    xmlFreeDoc(input);
    if (failed) {
        if (result)
            xmlFreeDoc(result);
        fail(QStringLiteral("Transformation failed: %1").arg(xslt.text(xml, QStringLiteral("unknown error"))));
    }
    if (messages)
        *messages = xslt.lines();
    return result;
}

} // namespace

XsltTransform::Result XsltTransform::transform(const DomDocument &source) const
{
    QStringList messages;
    xmlDocPtr result = apply(m_style, source, &messages);
    const bool html = result->type == XML_HTML_DOCUMENT_NODE;
    xmlChar *buf = nullptr;
    int len = 0;
    const int rc = xsltSaveResultToString(&buf, &len, result, m_style);
    xmlFreeDoc(result);
    if (rc < 0) {
        xmlFree(buf);
        fail(QStringLiteral("Cannot serialise the transformation result"));
    }
    Result r;
    r.bytes = QByteArray(reinterpret_cast<const char *>(buf), len);
    xmlFree(buf);
    r.method = methodOf(m_style);
    r.encoding = str(m_style->encoding);
    r.outputDeclared = declaresOutput(m_style);
    r.html = html;
    r.messages = messages;
    return r;
}

QString XsltTransform::transformToString(const DomDocument &source) const
{
    const Result r = transform(source);
    if (r.encoding.isEmpty() || r.encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0)
        return QString::fromUtf8(r.bytes);
    QStringDecoder dec(qPrintable(r.encoding));
    if (!dec.isValid())
        return QString::fromUtf8(r.bytes);
    return dec.decode(r.bytes);
}

DomDocument XsltTransform::transformToDocument(const DomDocument &source) const
{
    return DomAccess::adopt(apply(m_style, source));
}

} // namespace owb
