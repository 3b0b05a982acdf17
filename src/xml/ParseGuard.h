#pragma once
// The one set of libxml2 options for every parse of a server answer, a file or editor text,
// and the bounds that go with it.
#include "common/XmlLimits.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <libxml/parser.h>

#include <unordered_map>

namespace owb::xmlparse {

// No DTD loading. HUGE lifts libxml2's limits on the size of texts, names and lookahead, so
// that big documents open; it also lifts its depth limit and its check on entity expansion,
// so Guard keeps both bounds instead. References to declared entities stay in the tree.
inline constexpr int Options = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_HUGE;
// For whatever reads values: the internal subset's entities replaced by their text. Only
// under a Guard, which refuses external entities before libxml2 would read them, and with
// RefuseLoads in scope; or, for a stylesheet, whose modules are local files anyway, with
// external entities read from local files (NONET keeps the network out).
inline constexpr int Substituting = Options | XML_PARSE_NOENT;

// A stored document inside a query answer sits two envelope levels deep (response, result).
inline constexpr int AnswerEnvelope = 2;

// Bytes of text that references to declared entities may expand to in one document.
inline constexpr quint64 MaxEntityExpansion = 10'000'000;

// While one lives, the external entity loader refuses every load on this thread: entities and
// DTDs of the document being parsed are never read, not even from local files.
class RefuseLoads {
public:
    RefuseLoads();
    ~RefuseLoads();
    RefuseLoads(const RefuseLoads &) = delete;
    RefuseLoads &operator=(const RefuseLoads &) = delete;

    // Puts the refusing loader in front of the one in place; once per process, before any
    // other code swaps loaders.
    static void install();
    static bool active();
};

// Counts element depth and entity expansion of one parse and stops the parser when either
// goes past its bound. Installed on the context's own SAX handler after every other change
// to it; it takes the context's _private slot and hands the previous value on as user().
class Guard {
public:
    // Documents may nest xmllimits::MaxDepth levels, below envelope levels of a server answer.
    // Where the parse substitutes entities, one from outside the document is refused unless
    // readExternal.
    explicit Guard(xmlParserCtxtPtr ctxt, int envelope = 0, bool readExternal = false);
    ~Guard();
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;

    // What the context's _private held before; callbacks of the caller find it here.
    static void *user(void *ctx);

    bool refused() const { return !m_reason.isEmpty(); }
    QString reason() const { return m_reason; }
    int line() const { return m_line; }

private:
    static void start(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri,
                      int nbNamespaces, const xmlChar **namespaces, int nbAttributes, int nbDefaulted,
                      const xmlChar **attributes);
    static void end(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri);
    static xmlEntityPtr entity(void *ctx, const xmlChar *name);
    static xmlEntityPtr parameterEntity(void *ctx, const xmlChar *name);
    bool lookingBack(const xmlChar *name);
    void refuseExternal(xmlEntityPtr e, const char *mark);
    static void declared(void *ctx, const xmlChar *name, int type, const xmlChar *publicId, const xmlChar *systemId,
                         xmlChar *content);
    void refuse(const QString &reason);
    quint64 expanded(xmlEntityPtr e, int level);

    xmlParserCtxtPtr m_ctxt;
    void *m_user;
    int m_maxDepth;   // envelope included
    bool m_readExternal;
    int m_depth = 0;
    quint64 m_expansion = 0;
    std::unordered_map<xmlEntityPtr, quint64> m_sizes;
    startElementNsSAX2Func m_start;
    endElementNsSAX2Func m_end;
    getEntitySAXFunc m_entity;
    getParameterEntitySAXFunc m_parameterEntity;
    entityDeclSAXFunc m_declare;
    QByteArray m_declared;   // the entity whose declaration the parser looks up once more
    QString m_reason;
    int m_line = 0;
};

} // namespace owb::xmlparse
