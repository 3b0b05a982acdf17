#pragma once
// Shared by the files of this library that work on libxml2 directly; not for other folders.
#include "xml/DomDocument.h"
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <unordered_set>

namespace owb {

struct DomDocHolder {
    explicit DomDocHolder(xmlDocPtr d) : doc(d) {}
    ~DomDocHolder();
    DomDocHolder(const DomDocHolder &) = delete;
    DomDocHolder &operator=(const DomDocHolder &) = delete;

    xmlDocPtr doc;
    QList<QPair<QByteArray, QByteArray>> ns;   // selection prefixes
    bool hadDeclaration = false;
    // Nodes that were created or unlinked. Nothing is freed while the document lives, so a
    // handle never dangles; whatever is still unlinked goes with the document.
    std::unordered_set<xmlNodePtr> orphans;
};

struct DomAccess {
    static DomNode wrap(const std::shared_ptr<DomDocHolder> &h, xmlNodePtr n) { return DomNode(h, n); }
    static const std::shared_ptr<DomDocHolder> &holder(const DomNode &n) { return n.m_doc; }
    static std::shared_ptr<DomDocHolder> holder(const DomDocument &d);
    static DomDocument fromHolder(const std::shared_ptr<DomDocHolder> &h);
};

namespace domdetail {

void initLibrary();

inline QString str(const xmlChar *s) { return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString(); }

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

// Drops whitespace-only text nodes below node (see DomDocument.cpp for the rule).
void dropBlankText(xmlNodePtr node, bool preserve);

QByteArray escapeAttribute(const QByteArray &value);

} // namespace domdetail
} // namespace owb
