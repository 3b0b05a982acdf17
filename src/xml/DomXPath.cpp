// XPath selection with the document's selection prefixes.
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"
#include "xml/Namespaces.h"

#include <QRegularExpression>

#include <algorithm>

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

namespace owb {

using namespace domdetail;

namespace domdetail {

QList<xmlNodePtr> evalXPath(const std::shared_ptr<DomDocHolder> &h, xmlNodePtr context, const QString &expr)
{
    initLibrary();
    const QByteArray e = expr.toUtf8();
    ErrorCapture cap;
    xmlXPathContextPtr xc = xmlXPathNewContext(h->doc);
    if (!xc)
        throw OstrelError(QStringLiteral("XPath"), QStringLiteral("Out of memory evaluating \"%1\"").arg(expr));
    for (const auto &p : h->ns)
        xmlXPathRegisterNs(xc, X(p.first), X(p.second));
    xc->node = context;
    QList<xmlNodePtr> out;
    xmlXPathCompExprPtr comp = xmlXPathCtxtCompile(xc, X(e));
    xmlXPathObjectPtr res = comp ? xmlXPathCompiledEval(comp, xc) : nullptr;
    QString failure;
    if (!res) {
        failure = cap.hasError() ? cap.message() : QStringLiteral("Invalid expression");
    } else if (res->type != XPATH_NODESET) {
        failure = QStringLiteral("Expression does not return a node set");
    } else if (res->nodesetval) {
        for (int i = 0; i < res->nodesetval->nodeNr; ++i) {
            xmlNodePtr n = res->nodesetval->nodeTab[i];
            if (n && n->type != XML_NAMESPACE_DECL)
                out.append(n);
        }
    }
    if (res)
        xmlXPathFreeObject(res);
    if (comp)
        xmlXPathFreeCompExpr(comp);
    xmlXPathFreeContext(xc);
    if (!failure.isEmpty())
        throw OstrelError(QStringLiteral("XPath"),
                          QStringLiteral("Invalid XPath expression \"%1\": %2").arg(expr, failure));
    return out;
}

} // namespace domdetail

DomNode DomNode::selectSingleNode(const QString &xpath) const
{
    if (!m_node)
        return {};
    const QList<xmlNodePtr> r = evalXPath(m_doc, m_node, xpath);
    return r.isEmpty() ? DomNode() : DomNode(m_doc, r.first());
}

QList<DomNode> DomNode::selectNodes(const QString &xpath) const
{
    QList<DomNode> out;
    if (!m_node)
        return out;
    for (xmlNodePtr n : evalXPath(m_doc, m_node, xpath))
        out.append(DomNode(m_doc, n));
    return out;
}

void DomDocument::setSelectionNamespaces(const QString &declarations)
{
    static const QRegularExpression one(
        QStringLiteral(R"re(^\s*xmlns:([A-Za-z_][\w.\-]*)\s*=\s*(?:'([^']*)'|"([^"]*)"))re"));
    NamespaceList ns;
    QString rest = declarations;
    while (!rest.trimmed().isEmpty()) {
        const auto m = one.match(rest);
        if (!m.hasMatch())
            throw OstrelError(QStringLiteral("DOM"),
                              QStringLiteral("Malformed SelectionNamespaces value: %1").arg(declarations));
        const QString uri = m.capturedStart(2) >= 0 ? m.captured(2) : m.captured(3);
        ns.append({m.captured(1).toUtf8(), uri.toUtf8()});
        rest = rest.mid(m.capturedEnd(0));
    }
    m_s->cur->ns = ns;
}

QString DomDocument::selectionNamespaces() const
{
    QStringList parts;
    for (const auto &p : m_s->cur->ns)
        parts.append(QStringLiteral("xmlns:%1='%2'").arg(QString::fromUtf8(p.first), QString::fromUtf8(p.second)));
    return parts.join(QLatin1Char(' '));
}

QString selectionNamespaces()
{
    return QStringLiteral("xmlns:osd='%1' xmlns:xs='%2' xmlns:osl='%3' xmlns:xql='%4'")
        .arg(QLatin1String(ns::OSD), QLatin1String(ns::XS), QLatin1String(ns::OSL), QLatin1String(ns::XQL));
}

DomDocument NewDOMDocument(bool async, bool useXPath)
{
    Q_UNUSED(async);
    Q_UNUSED(useXPath);
    DomDocument d;
    d.setSelectionNamespaces(selectionNamespaces());
    return d;
}

namespace {

struct XPathErrors {
    bool has = false;
    QString reason;
    int offset = -1;   // bytes into the expression; -1 without a place
    int code = 0;
};

void keepXPathError(void *ctx, xmlErrorPtr err)
{
    auto *errors = static_cast<XPathErrors *>(ctx);
    if (!err || errors->has)
        return;
    errors->has = true;
    errors->reason = QString::fromUtf8(err->message ? err->message : "").trimmed();
    // Only the parser knows where it stopped; evaluation names no expression.
    errors->offset = err->str1 ? err->int1 : -1;
    errors->code = err->code;
}

// Where the first prefix that is not bound stands in expr (1-based), outside literals; 0 if
// nowhere.
int unboundPrefixAt(const QString &expr, const QList<QPair<QString, QString>> &prefixes)
{
    static const QRegularExpression token(QStringLiteral(R"re('[^']*'|"[^"]*"|([A-Za-z_][\w.\-]*):(?![:=]))re"));
    for (auto it = token.globalMatch(expr); it.hasNext();) {
        const auto m = it.next();
        const QString prefix = m.captured(1);
        if (!prefix.isEmpty()
            && std::none_of(prefixes.cbegin(), prefixes.cend(), [&prefix](const auto &p) { return p.first == prefix; }))
            return int(m.capturedStart(1)) + 1;
    }
    return 0;
}

} // namespace

std::optional<XPathFault> checkXPath(const QString &expr, const QList<QPair<QString, QString>> &prefixes)
{
    initLibrary();
    const QByteArray e = expr.toUtf8();
    if (expr.trimmed().isEmpty())
        return XPathFault{QStringLiteral("Empty expression"), 1};
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(xmlNewDoc(BAD_CAST "1.0"), xmlFreeDoc);
    xmlDocSetRootElement(doc.get(), xmlNewDocNode(doc.get(), nullptr, BAD_CAST "x", nullptr));
    std::unique_ptr<xmlXPathContext, void (*)(xmlXPathContextPtr)> xc(xmlXPathNewContext(doc.get()),
                                                                       xmlXPathFreeContext);
    // The structured handler gets the error with its message (a context's own handler gets
    // none); it is per thread, and put back below.
    XPathErrors errors;
    const xmlStructuredErrorFunc oldHandler = xmlStructuredError;
    void *const oldContext = xmlStructuredErrorContext;
    xmlSetStructuredErrorFunc(&errors, keepXPathError);
    QList<QByteArray> keep;
    for (const auto &[prefix, uri] : prefixes) {
        keep << prefix.toUtf8() << uri.toUtf8();
        xmlXPathRegisterNs(xc.get(), X(keep[keep.size() - 2]), X(keep.last()));
    }
    xc->node = reinterpret_cast<xmlNodePtr>(doc.get());
    std::unique_ptr<xmlXPathCompExpr, void (*)(xmlXPathCompExprPtr)> comp(xmlXPathCtxtCompile(xc.get(), X(e)),
                                                                          xmlXPathFreeCompExpr);
    xmlXPathObjectPtr res = comp ? xmlXPathCompiledEval(comp.get(), xc.get()) : nullptr;
    const bool nodes = res && res->type == XPATH_NODESET;
    if (res)
        xmlXPathFreeObject(res);
    xmlSetStructuredErrorFunc(oldContext, oldHandler);
    if (errors.has || !comp || !res) {
        int at = errors.offset < 0 ? 0 : int(QString::fromUtf8(e.left(errors.offset)).size()) + 1;
        // Prefixes are looked up while evaluating, which knows no place: find it.
        if (errors.code == XML_XPATH_UNDEF_PREFIX_ERROR)
            at = unboundPrefixAt(expr, prefixes);
        return XPathFault{errors.reason.isEmpty() ? QStringLiteral("Invalid expression") : errors.reason, at};
    }
    if (!nodes)
        return XPathFault{QStringLiteral("Expression does not return a node set"), 0};
    return std::nullopt;
}

DomNode DomDocument::selectSingleNode(const QString &xpath) const { return node().selectSingleNode(xpath); }
QList<DomNode> DomDocument::selectNodes(const QString &xpath) const { return node().selectNodes(xpath); }

} // namespace owb
