#pragma once
// A schema with everything it includes and imports, its global components indexed by
// namespace and name, whatever prefix (or none) its documents use for XML Schema itself.
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

#include <libxml/tree.h>

namespace owb {
class SchemaSource;
}

namespace owb::xsd {

inline constexpr char XML_NS[] = "http://www.w3.org/XML/1998/namespace";

struct QName {
    QString ns;
    QString local;
    bool operator==(const QName &o) const { return ns == o.ns && local == o.local; }
    QString key() const { return QLatin1Char('{') + ns + QLatin1Char('}') + local; }
    bool isXs(const char *name = nullptr) const;   // a built-in of XML Schema
};

// One schema document as it takes part in the set.
struct SchemaDoc {
    xmlDocPtr doc = nullptr;
    QString url;
    QString targetNs;           // the namespace its components are in (an including one's for a chameleon)
    bool chameleon = false;     // no namespace of its own: unprefixed references mean targetNs
    bool qualifiedElements = false;
    bool qualifiedAttributes = false;
};

// A node of a schema document and the document it belongs to.
struct Node {
    xmlNodePtr n = nullptr;
    const SchemaDoc *doc = nullptr;
    explicit operator bool() const { return n != nullptr; }
    bool operator==(const Node &o) const { return n == o.n; }

    bool is(const char *local) const;           // an XML Schema element of that name
    QString attr(const char *name) const;       // null when absent
    bool has(const char *name) const { return !attr(name).isNull(); }
    QList<Node> children() const;               // XML Schema children, annotations left out
    Node child(const char *local) const;        // the first such child
    int line() const;
};

bool isXsElement(xmlNodePtr n, const char *local = nullptr);

class SchemaSet {
public:
    enum Kind { Element, Attribute, ComplexType, SimpleType, Group, AttributeGroup, Notation, IdentityConstraint };

    SchemaSet();
    ~SchemaSet();
    SchemaSet(const SchemaSet &) = delete;
    SchemaSet &operator=(const SchemaSet &) = delete;

    // Reads the main schema and whatever it includes or imports through source (null: nothing
    // is included). Throws OstrelError (source "BuildNewDoc") when the main schema is no schema.
    void load(const QString &text, const QString &url, SchemaSource *source);

    const SchemaDoc &main() const { return *m_docs.front(); }
    QList<const SchemaDoc *> documents() const;
    Node find(Kind kind, const QName &name) const;
    // Like find; a name that is not declared throws OstrelError naming it and, where its
    // namespace came from a schema that could not be read, why.
    Node require(Kind kind, const QName &name, const Node &from, const char *what = nullptr) const;
    // A type: a complexType or simpleType node, or null for a built-in (name.isXs).
    Node type(const QName &name, const Node &from) const;

    // The global element declarations in document order, the main schema's first.
    QList<Node> globalElements() const;
    // The non-abstract global elements that may stand for head, directly or not, in order.
    QList<Node> substitutes(const QName &head) const;
    // Named complex types derived directly from base by extension or restriction.
    QList<Node> derivedFrom(const QName &base) const;

    // A qualified name of a schema attribute value, resolved at its element.
    QName resolve(const Node &at, const QString &qname) const;
    // The name an element or attribute declaration gives its instances.
    QName declaredName(const Node &decl) const;
    // A prefix some schema document binds to ns; empty when none does.
    QString prefixFor(const QString &ns) const;

private:
    void loadDoc(const QByteArray &bytes, const char *encoding, const QString &url, const QString &includerNs,
                 bool include, SchemaSource *source);
    void index(SchemaDoc &doc);

    std::vector<std::unique_ptr<SchemaDoc>> m_docs;
    QHash<QString, Node> m_index[IdentityConstraint + 1];
    QHash<QString, QString> m_unreadable;   // namespace -> why its schema could not be read
    QList<QString> m_loaded;                // url + namespace of every document read
};

} // namespace owb::xsd
