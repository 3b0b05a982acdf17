#pragma once
// Builds the sample instance of one global element declaration and writes it as text that
// declares the namespaces it uses.
#include "schema/SampleContent.h"

#include <QSet>

#include <memory>
#include <vector>

namespace owb::xsd {

struct SampleElement {
    QName name;
    QList<QPair<QName, QString>> attributes;
    QString text;
    std::vector<std::unique_ptr<SampleElement>> children;
    QName xsiType;          // set: the element names its concrete type
    bool nil = false;
    QList<int> idRefAttributes;   // attributes (by index) that are to name an ID
    bool idRefText = false;
};

class SampleBuilder {
public:
    // avoid: a text no value may contain (see SampleValues).
    SampleBuilder(const SchemaSet &schemas, const QString &avoid);

    // Throws OstrelError (source "BuildNewDoc") saying why there is no valid sample.
    std::unique_ptr<SampleElement> build(const Node &globalElement);
    QString write(const SampleElement &root) const;

    static constexpr int MaxElements = 100000;
    // Past this many elements optional content is no longer added.
    static constexpr int FullBudget = 1500;

private:
    std::unique_ptr<SampleElement> element(const Node &declOrRef, bool full, int depth);
    void complexContent(SampleElement &out, const Node &complexType, bool full, int depth);
    void particle(SampleElement &out, const Node &p, bool full, int depth);
    void term(SampleElement &out, const Node &t, bool full, int depth);
    void wildcard(SampleElement &out, const Node &any, int depth);
    void attributes(SampleElement &out, const Node &complexType);
    QString value(const SimpleType &type, const Node &where, bool *idRef);
    QString distinct(const QString &name, const QString &value, const SimpleType &type);
    void fillIdRefs(SampleElement &e, const QString &id);
    bool onPath(const Node &declOrRef) const;
    void collectKeys();
    void fillKeyRefs();
    // The names an identity constraint's field selects: "element@attribute" (element empty
    // when the selector names none) or "<element".
    static QStringList fieldNames(const Node &field);
    QString keyOf(const QString &element, const QString &attribute) const;

    const SchemaSet &m_schemas;
    ContentModel m_model;
    SampleValues m_values;
    QSet<xmlNodePtr> m_expanded;   // declarations built once with their optional content
    QList<xmlNodePtr> m_path;      // declarations being built, outermost first
    QStringList m_ids;
    // Names of the attributes and elements that keys and unique constraints compare, and how
    // often each has been given a value: their values are made to differ.
    QSet<QString> m_keyAttributes, m_keyElements;
    QHash<QString, int> m_keyUses;
    QHash<QString, QString> m_keyFirst;   // a field name: the first value given
    QHash<QString, QString> m_keyRefs;    // a key reference's field: the key's field it names
    struct PendingRef {
        SampleElement *element;
        int attribute;
        QString key;
        SimpleType type;
    };
    QList<PendingRef> m_pendingRefs;      // attributes to name a key's value once the sample is built
    int m_count = 0;
};

} // namespace owb::xsd
