#include "schema/SampleContent.h"

#include "common/OstrelError.h"
#include "xml/Namespaces.h"

namespace owb::xsd {

namespace {

qint64 add(qint64 a, qint64 b) { return qMin(Unbuildable, a + b); }
qint64 times(qint64 a, int n) { return a == 0 || n == 0 ? 0 : (a >= Unbuildable / n ? Unbuildable : a * n); }

bool isTrue(const QString &v) { return v.trimmed() == QLatin1String("true") || v.trimmed() == QLatin1String("1"); }

// The extension or restriction below a simple or complex content, or null.
Node derivation(const Node &complexType)
{
    const Node content = complexType.child("complexContent") ? complexType.child("complexContent")
                                                             : complexType.child("simpleContent");
    return content.child("extension") ? content.child("extension") : content.child("restriction");
}

bool isParticle(const Node &n)
{
    return n.is("sequence") || n.is("choice") || n.is("all") || n.is("group") || n.is("element") || n.is("any");
}

} // namespace

ContentModel::ContentModel(const SchemaSet &schemas) : m_schemas(schemas) {}

ElementInfo ContentModel::element(const Node &declOrRef) const
{
    ElementInfo info;
    info.decl = declOrRef.has("ref")
                    ? m_schemas.require(SchemaSet::Element, m_schemas.resolve(declOrRef, declOrRef.attr("ref")), declOrRef)
                    : declOrRef;
    const Node &d = info.decl;
    info.name = m_schemas.declaredName(d);
    info.abstract = isTrue(d.attr("abstract"));
    info.nillable = isTrue(d.attr("nillable"));
    info.fixed = d.attr("fixed");
    info.defaultValue = d.attr("default");
    if (d.has("type")) {
        info.builtin = m_schemas.resolve(d, d.attr("type"));
        info.type = m_schemas.type(info.builtin, d);
    } else if (const Node inner = d.child("complexType") ? d.child("complexType") : d.child("simpleType")) {
        info.type = inner;
    } else if (d.has("substitutionGroup")) {
        // Without a type of its own a member has its head's.
        const QString head = d.attr("substitutionGroup").split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
        const ElementInfo h = element(m_schemas.require(SchemaSet::Element, m_schemas.resolve(d, head), d));
        info.type = h.type;
        info.builtin = h.builtin;
    } else {
        info.builtin = {QString::fromLatin1(owb::ns::XS), QStringLiteral("anyType")};
    }
    return info;
}

QName ContentModel::typeName(const Node &complexType) const
{
    return {complexType.doc->targetNs, complexType.attr("name")};
}

bool ContentModel::isAbstract(const Node &complexType) const
{
    return complexType.is("complexType") && isTrue(complexType.attr("abstract"));
}

bool ContentModel::hasSimpleContent(const Node &complexType) const
{
    return bool(complexType.child("simpleContent"));
}

QList<Node> ContentModel::particles(const Node &complexType) const
{
    QList<Node> out;
    const Node d = derivation(complexType);
    const Node holder = d ? d : complexType;
    if (d && d.is("extension") && complexType.child("complexContent")) {
        const QName base = m_schemas.resolve(d, d.attr("base"));
        if (const Node b = m_schemas.type(base, d); b && b.is("complexType") && b.n != complexType.n)
            out << particles(b);
    }
    for (const Node &c : holder.children())
        if (isParticle(c))
            out << c;
    return out;
}

void ContentModel::collectAttributes(const Node &holder, QList<AttributeUse> &into, int depth) const
{
    if (depth > 50)
        throw OstrelError(QStringLiteral("BuildNewDoc"), QStringLiteral("The attribute groups refer to each other in a circle"));
    for (const Node &c : holder.children()) {
        if (c.is("attributeGroup")) {
            const Node group = c.has("ref") ? m_schemas.require(SchemaSet::AttributeGroup,
                                                                 m_schemas.resolve(c, c.attr("ref")), c)
                                            : c;
            collectAttributes(group, into, depth + 1);
            continue;
        }
        if (!c.is("attribute"))
            continue;
        AttributeUse use;
        use.decl = c.has("ref") ? m_schemas.require(SchemaSet::Attribute, m_schemas.resolve(c, c.attr("ref")), c) : c;
        use.name = m_schemas.declaredName(use.decl);
        const QString how = c.attr("use");
        use.required = how == QLatin1String("required");
        use.fixed = c.has("fixed") ? c.attr("fixed") : use.decl.attr("fixed");
        use.defaultValue = c.has("default") ? c.attr("default") : use.decl.attr("default");
        if (use.decl.has("type")) {
            use.builtin = m_schemas.resolve(use.decl, use.decl.attr("type"));
            use.type = m_schemas.type(use.builtin, use.decl);
        } else if (const Node inner = use.decl.child("simpleType")) {
            use.type = inner;
        } else {
            use.builtin = {QString::fromLatin1(owb::ns::XS), QStringLiteral("anySimpleType")};
        }
        // A later use of the same name (a restriction's) takes the place of the earlier one.
        for (qsizetype i = 0; i < into.size(); ++i)
            if (into[i].name == use.name) {
                into.removeAt(i);
                break;
            }
        if (how != QLatin1String("prohibited"))
            into << use;
    }
}

QList<AttributeUse> ContentModel::attributes(const Node &complexType) const
{
    QList<AttributeUse> out;
    const Node d = derivation(complexType);
    if (d) {
        const QName base = m_schemas.resolve(d, d.attr("base"));
        if (const Node b = m_schemas.type(base, d); b && b.is("complexType") && b.n != complexType.n)
            out = attributes(b);
        collectAttributes(d, out, 0);
    } else {
        collectAttributes(complexType, out, 0);
    }
    return out;
}

SimpleType ContentModel::simpleType(const Node &type, const QName &builtin, const SampleValues &values) const
{
    if (type && type.is("complexType"))
        return simpleContent(type, values);
    return type ? values.derive(type) : values.derive(builtin);
}

SimpleType ContentModel::simpleContent(const Node &complexType, const SampleValues &values) const
{
    SimpleType into;
    Node ct = complexType;
    for (int guard = 0; guard < 50; ++guard) {
        const Node d = derivation(ct);
        if (!d)
            break;
        if (d.is("restriction")) {
            values.addFacets(d, into);
            if (const Node inner = d.child("simpleType"))
                return values.derive(inner, into);
        }
        const QName base = m_schemas.resolve(d, d.attr("base"));
        const Node b = m_schemas.type(base, d);
        if (!b)
            return values.derive(base, into);
        if (b.is("simpleType"))
            return values.derive(b, into);
        ct = b;
    }
    return values.derive(QName{QString::fromLatin1(owb::ns::XS), QStringLiteral("string")}, into);
}

int ContentModel::minOccurs(const Node &particle)
{
    const QString v = particle.attr("minOccurs");
    return v.isNull() ? 1 : qBound(0, v.trimmed().toInt(), 100000);
}

int ContentModel::maxOccurs(const Node &particle)
{
    const QString v = particle.attr("maxOccurs");
    if (v.isNull())
        return 1;
    return v.trimmed() == QLatin1String("unbounded") ? -1 : v.trimmed().toInt();
}

QList<Node> ContentModel::substitutes(const QName &head) const
{
    auto it = m_substitutes.constFind(head.key());
    if (it == m_substitutes.cend())
        it = m_substitutes.insert(head.key(), m_schemas.substitutes(head));
    return *it;
}

QList<Node> ContentModel::derivedFrom(const QName &base) const
{
    auto it = m_derived.constFind(base.key());
    if (it == m_derived.cend())
        it = m_derived.insert(base.key(), m_schemas.derivedFrom(base));
    return *it;
}

// ------------------------------------------------------------------ least sizes

void ContentModel::computeCosts()
{
    m_computed = true;
    QList<Node> nodes;
    for (const SchemaDoc *doc : m_schemas.documents()) {
        QList<xmlNodePtr> stack{xmlDocGetRootElement(doc->doc)};
        while (!stack.isEmpty()) {
            xmlNodePtr n = stack.takeLast();
            if ((isXsElement(n, "element") && xmlHasProp(n, BAD_CAST "name")) || isXsElement(n, "complexType"))
                nodes << Node{n, doc};
            for (xmlNodePtr c = n->last; c; c = c->prev)
                if (c->type == XML_ELEMENT_NODE)
                    stack << c;
        }
    }
    for (const Node &n : nodes)
        m_costs.insert(n.n, Unbuildable);
    for (int round = 0; round < 10000; ++round) {
        bool changed = false;
        for (const Node &n : std::as_const(nodes)) {
            qint64 now = 1;
            try {
                now = n.is("element") ? elementCostNow(n) : typeCostNow(n);
            } catch (const OstrelError &) {
                // Taken as buildable: should the sample need it, building says what is wrong.
            }
            qint64 &kept = m_costs[n.n];
            if (now < kept) {
                kept = now;
                changed = true;
            }
        }
        if (!changed)
            break;
    }
}

qint64 ContentModel::elementCostNow(const Node &decl) const
{
    const ElementInfo e = element(decl);
    qint64 own = Unbuildable;
    if (!e.abstract) {
        const qint64 content = e.type && e.type.is("complexType") ? m_costs.value(e.type.n, Unbuildable) : 0;
        own = e.nillable ? 1 : add(1, content);
    }
    for (const Node &m : substitutes(e.name))
        own = qMin(own, m_costs.value(m.n, Unbuildable));
    return own;
}

qint64 ContentModel::typeCostNow(const Node &complexType) const
{
    if (isAbstract(complexType)) {
        qint64 best = Unbuildable;
        for (const Node &d : derivedFrom(typeName(complexType)))
            best = qMin(best, m_costs.value(d.n, Unbuildable));
        return best;
    }
    qint64 sum = 0;
    for (const Node &p : particles(complexType))
        sum = add(sum, particleCostNow(p));
    return sum;
}

qint64 ContentModel::particleCostNow(const Node &particle) const
{
    const int min = minOccurs(particle);
    return min == 0 ? 0 : times(termCostNow(particle), min);
}

qint64 ContentModel::termCostNow(const Node &term) const
{
    if (term.is("element")) {
        const Node decl = term.has("ref") ? m_schemas.find(SchemaSet::Element, m_schemas.resolve(term, term.attr("ref")))
                                          : term;
        // A declaration that is missing is for building to report.
        return decl ? m_costs.value(decl.n, Unbuildable) : 1;
    }
    if (term.is("any"))
        return 1;
    if (term.is("group")) {
        const Node g = term.has("ref") ? m_schemas.find(SchemaSet::Group, m_schemas.resolve(term, term.attr("ref"))) : term;
        for (const Node &c : g.children())
            if (c.is("sequence") || c.is("choice") || c.is("all"))
                return termCostNow(c);
        return 0;
    }
    const bool choice = term.is("choice");
    qint64 total = choice ? Unbuildable : 0;
    for (const Node &c : term.children())
        if (isParticle(c))
            total = choice ? qMin(total, particleCostNow(c)) : add(total, particleCostNow(c));
    return total;
}

qint64 ContentModel::cost(const ElementInfo &element)
{
    if (!m_computed)
        computeCosts();
    return m_costs.value(element.decl.n, Unbuildable);
}

qint64 ContentModel::typeCost(const Node &complexType)
{
    if (!m_computed)
        computeCosts();
    return complexType.is("complexType") ? m_costs.value(complexType.n, Unbuildable) : 0;
}

qint64 ContentModel::termCost(const Node &term)
{
    if (!m_computed)
        computeCosts();
    return termCostNow(term);
}

qint64 ContentModel::particleCost(const Node &particle)
{
    if (!m_computed)
        computeCosts();
    return particleCostNow(particle);
}

Node ContentModel::concreteType(const Node &complexType)
{
    QList<Node> todo{complexType};
    for (qsizetype i = 0; i < todo.size() && i < 1000; ++i) {
        if (!isAbstract(todo[i]) && typeCost(todo[i]) < Unbuildable)
            return todo[i];
        todo << derivedFrom(typeName(todo[i]));
    }
    return {};
}

ElementInfo ContentModel::standIn(const Node &declOrRef)
{
    const ElementInfo e = element(declOrRef);
    if (!e.abstract) {
        const qint64 content = e.type && e.type.is("complexType") ? typeCost(e.type) : 0;
        if (content < Unbuildable || e.nillable)
            return e;
    }
    for (const Node &m : substitutes(e.name)) {
        const ElementInfo member = element(m);
        if (cost(member) < Unbuildable)
            return member;
    }
    return e;
}

} // namespace owb::xsd
