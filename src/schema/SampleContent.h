#pragma once
// What the sample builder needs to know of a schema's declarations: an element's effective
// name and type, a complex type's content and attributes with derivation followed, and the
// least number of elements each declaration needs (unbuildable: never finite).
#include "schema/SampleValues.h"
#include "schema/XsdModel.h"

#include <QHash>

#include <limits>

namespace owb::xsd {

inline constexpr qint64 Unbuildable = std::numeric_limits<qint64>::max() / 4;

struct ElementInfo {
    Node decl;           // the named declaration (a reference's global one)
    QName name;
    Node type;           // complexType or simpleType; null for a built-in
    QName builtin;       // with a null type: xs:anyType or a simple built-in
    bool abstract = false;
    bool nillable = false;
    QString fixed, defaultValue;   // null when absent
};

struct AttributeUse {
    Node decl;
    QName name;
    bool required = false;
    QString fixed, defaultValue;
    Node type;           // simpleType, or null for a built-in
    QName builtin;
};

class ContentModel {
public:
    explicit ContentModel(const SchemaSet &schemas);

    const SchemaSet &schemas() const { return m_schemas; }

    // A declaration or a reference to one.
    ElementInfo element(const Node &declOrRef) const;
    QName typeName(const Node &complexType) const;
    bool isAbstract(const Node &complexType) const;
    bool hasSimpleContent(const Node &complexType) const;
    // The content particles in order: a base type's before an extension's own.
    QList<Node> particles(const Node &complexType) const;
    QList<AttributeUse> attributes(const Node &complexType) const;
    // The simple type of a complex type's simple content, facets of restrictions included.
    SimpleType simpleContent(const Node &complexType, const SampleValues &values) const;
    SimpleType simpleType(const Node &type, const QName &builtin, const SampleValues &values) const;

    static int minOccurs(const Node &particle);
    static int maxOccurs(const Node &particle);   // -1: unbounded

    // The fewest elements an instance needs.
    qint64 cost(const ElementInfo &element);
    qint64 typeCost(const Node &complexType);
    qint64 termCost(const Node &term);            // one occurrence
    qint64 particleCost(const Node &particle);    // with its minOccurs

    // A concrete type that may stand for an abstract one; null when there is none.
    Node concreteType(const Node &complexType);
    // Cached lookups of the schema set.
    QList<Node> substitutes(const QName &head) const;
    QList<Node> derivedFrom(const QName &base) const;

    // The element to put where declOrRef stands: itself, or for an abstract (or unbuildable)
    // one the first substitute that can be built.
    ElementInfo standIn(const Node &declOrRef);

private:
    void computeCosts();
    qint64 elementCostNow(const Node &decl) const;
    qint64 typeCostNow(const Node &complexType) const;
    qint64 termCostNow(const Node &term) const;
    qint64 particleCostNow(const Node &particle) const;
    void collectAttributes(const Node &holder, QList<AttributeUse> &into, int depth) const;

    const SchemaSet &m_schemas;
    QHash<xmlNodePtr, qint64> m_costs;   // element declarations and complex types
    bool m_computed = false;
    mutable QHash<QString, QList<Node>> m_substitutes, m_derived;
};

} // namespace owb::xsd
