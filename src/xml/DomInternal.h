#pragma once
// Shared by the files of this library that work on libxml2 directly; not for other folders.
#include "xml/DomDocument.h"
#include "common/OstrelError.h"
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <unordered_set>
#include <utility>
#include <vector>

namespace owb {

using NamespaceList = QList<QPair<QByteArray, QByteArray>>;   // prefix, URI

struct DomDocHolder {
    explicit DomDocHolder(xmlDocPtr d) : doc(d) {}
    ~DomDocHolder();
    DomDocHolder(const DomDocHolder &) = delete;
    DomDocHolder &operator=(const DomDocHolder &) = delete;

    xmlDocPtr doc;
    // The selection prefixes, kept here only: nodes evaluate XPath through their holder, and a
    // load hands them on to the next holder of the same document handle.
    NamespaceList ns;
    bool hadDeclaration = false;
    qsizetype sourceBytes = 0;   // size of the text the document was parsed from
    // Nodes that were created or unlinked. Nothing is freed while the document lives, so a
    // handle never dangles; whatever is still unlinked goes with the document.
    std::unordered_set<xmlNodePtr> orphans;
};

// What the copies of one DomDocument handle share.
struct DomDocState {
    std::shared_ptr<DomDocHolder> cur;
    DomParseError error;
    QString url;
    bool preserve = false;
    DomEntities entities = DomEntities::Kept;
    int envelope = 0;   // levels of a server answer's envelope
};

struct DomAccess {
    static DomNode wrap(const std::shared_ptr<DomDocHolder> &h, xmlNodePtr n) { return DomNode(h, n); }
    static const std::shared_ptr<DomDocHolder> &holder(const DomNode &n) { return n.m_doc; }
    static std::shared_ptr<DomDocHolder> holder(const DomDocument &d);
    static DomDocument fromHolder(const std::shared_ptr<DomDocHolder> &h);
    static xmlNodePtr node(const DomNode &n) { return n.m_node; }
    static xmlDocPtr doc(const DomDocument &d);
    // Takes ownership of doc (a transformation result and the like).
    static DomDocument adopt(xmlDocPtr doc);
};

namespace domdetail {

void initLibrary();

inline const xmlChar *X(const QByteArray &b) { return reinterpret_cast<const xmlChar *>(b.constData()); }
inline QString str(const xmlChar *s) { return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString(); }
// str(s), and s freed.
QString takeString(xmlChar *s);
[[noreturn]] void domFail(const QString &what);
// "p:local" -> {"p", "local"}; no prefix: {"", name}.
QPair<QByteArray, QByteArray> splitQName(const QString &qname);
// Only blanks, tabs and line ends (or nothing).
bool isBlank(const xmlChar *s);

std::shared_ptr<DomDocHolder> newHolder(xmlDocPtr doc, const NamespaceList &ns);

using Declarations = std::vector<std::pair<const xmlChar *, const xmlChar *>>;   // prefix, URI
// The declarations an element would need on its own start tag once apart from its ancestors:
// the prefixes its elements and attributes use that only the ancestors declare, in document
// order of first use (as a copy of it declares them). False for a prefix declared nowhere.
bool inheritedNamespaces(xmlNodePtr top, Declarations &out);

// First fatal (well-formedness) error seen while this object lives on this thread; validity
// errors are ignored.
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture &) = delete;
    ErrorCapture &operator=(const ErrorCapture &) = delete;

    bool hasError() const { return m_has; }
    QString message() const { return m_message; }
    QString allMessages() const { return m_all.join(QLatin1Char('\n')); }
    int line() const { return m_line; }
    int column() const { return m_column; }
    int code() const { return m_code; }

private:
    static void handler(void *ctx, xmlErrorPtr err);
    xmlStructuredErrorFunc m_oldFn;
    void *m_oldCtx;
    bool m_has = false;
    QString m_message;
    QStringList m_all;
    int m_line = 0;
    int m_column = 0;
    int m_code = 0;
};

// Line `line` (1-based) of UTF-8 bytes, without its line end; empty when there is none.
QString sourceLine(const QByteArray &bytes, int line);

// Drops whitespace-only text nodes below node (see DomParse.cpp for the rule).
void dropBlankText(xmlNodePtr node, bool preserve);

// What libxml2 writes through a save context, as UTF-8 bytes; write does the saving.
QByteArray saveBytes(int options, const std::function<void(xmlSaveCtxtPtr)> &write);
// One node and what is below it.
QByteArray serialise(xmlNodePtr node, int options = XML_SAVE_NO_DECL | XML_SAVE_AS_XML);

QByteArray escapeAttribute(const QByteArray &value);
// A namespace declaration's value, from the name as the parser stored it.
QByteArray escapeNamespace(const QByteArray &href);

// The element's attribute of a qualified name (prefix resolved in scope); null when absent.
xmlAttrPtr findAttribute(xmlNodePtr el, const QString &name);
// The namespace declaration "xmlns" or "xmlns:p" on the element itself; null when absent.
xmlNsPtr findNsDecl(xmlNodePtr el, const QString &name);

// The nodes expr selects with context as context node; throws OstrelError (source "XPath").
QList<xmlNodePtr> evalXPath(const std::shared_ptr<DomDocHolder> &h, xmlNodePtr context, const QString &expr);

} // namespace domdetail
} // namespace owb
