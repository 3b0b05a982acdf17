#pragma once
// Sample values of simple types: the fixed sample of a built-in type where the type's facets
// accept it, else a value that satisfies them (enumeration, bounds, digits, lengths, patterns).
#include "schema/XsdModel.h"

#include <QStringList>

#include <optional>

namespace owb::xsd {

struct Facets {
    QStringList enumeration;          // of the most derived level that has one
    QList<QStringList> patterns;      // one list per derivation step: each step must match
    std::optional<int> length, minLength, maxLength, totalDigits, fractionDigits;
    QString minInclusive, maxInclusive, minExclusive, maxExclusive;   // null: none
};

// What a simple type comes down to.
struct SimpleType {
    enum Variety { Atomic, List, Union } variety = Atomic;
    QString builtin;        // Atomic: the most specific built-in it derives from ("NCName")
    QList<Node> itemOrMembers;   // List: the item type; Union: the members (null Node: a built-in)
    QList<QName> builtins;       // the built-in item or member types, where the Node is null
    Facets facets;
};

class SampleValues {
public:
    SampleValues(const SchemaSet &schemas, QString avoid) : m_schemas(schemas), m_avoid(std::move(avoid)) {}

    // The type a simpleType node, a built-in name, or a restriction step below it makes;
    // facets already in `into` (of a more derived step) win.
    SimpleType derive(const Node &simpleType, SimpleType into = {}) const;
    SimpleType derive(const QName &builtin, SimpleType into = {}) const;
    // Adds the facets of a restriction element (a simple type's, or a simple content's).
    void addFacets(const Node &restriction, SimpleType &into) const;

    struct Value {
        QString text;
        QString why;                 // set when there is no value
        bool idRef = false;          // IDREF(S): the text is to name an ID of the document
        bool ok() const { return why.isNull(); }
    };
    Value make(const SimpleType &type, int depth = 0) const;
    // The n-th distinct value where the type allows one (n = 1: value itself), else value.
    QString another(const SimpleType &type, const QString &value, int n) const;
    // Whether value satisfies the type's facets, as far as they can be checked here.
    bool accepts(const SimpleType &type, const QString &value) const;

    // The sample of a built-in type by its local name; a null string for one without.
    static QString builtinSample(const QString &local);

private:
    Value atomic(const SimpleType &type) const;
    QString nextId() const;

    const SchemaSet &m_schemas;
    QString m_avoid;   // values may not contain this text
    mutable int m_ids = 0;
};

} // namespace owb::xsd
