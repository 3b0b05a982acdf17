// Keys, unique constraints and key references: the values they compare are made to differ,
// and a reference names a value its key holds.
#include "schema/SampleBuilder.h"

namespace owb::xsd {

void SampleBuilder::collectKeys()
{
    const SchemaSet &schemas = m_schemas;
    QList<Node> keyrefs;
    for (const SchemaDoc *doc : schemas.documents()) {
        QList<xmlNodePtr> todo{xmlDocGetRootElement(doc->doc)};
        while (!todo.isEmpty()) {
            xmlNodePtr n = todo.takeLast();
            for (xmlNodePtr c = n->children; c; c = c->next)
                if (c->type == XML_ELEMENT_NODE)
                    todo << c;
            if (isXsElement(n, "keyref"))
                keyrefs << Node{n, doc};
            if (!isXsElement(n, "field") || !(isXsElement(n->parent, "key") || isXsElement(n->parent, "unique")))
                continue;
            for (const QString &field : fieldNames(Node{n, doc}))
                if (field.startsWith(QLatin1Char('<')))
                    m_keyElements << field.mid(1);
                else
                    m_keyAttributes << field;
        }
    }
    // A key reference's field takes the first value given to the key's field.
    for (const Node &ref : std::as_const(keyrefs)) {
        const Node key = schemas.find(SchemaSet::IdentityConstraint, schemas.resolve(ref, ref.attr("refer")));
        if (!key)
            continue;
        const QList<Node> from = ref.children(), to = key.children();
        for (qsizetype i = 0, j = 0; i < from.size() && j < to.size(); ++i, ++j) {
            while (i < from.size() && !from[i].is("field"))
                ++i;
            while (j < to.size() && !to[j].is("field"))
                ++j;
            if (i < from.size() && j < to.size() && !fieldNames(from[i]).isEmpty() && !fieldNames(to[j]).isEmpty())
                m_keyRefs.insert(fieldNames(from[i]).first(), fieldNames(to[j]).first());
        }
    }
}

QString SampleBuilder::distinct(const QString &name, const QString &value, const SimpleType &type)
{
    if (!m_keyFirst.contains(name))
        m_keyFirst.insert(name, value);
    return m_values.another(type, value, ++m_keyUses[name]);
}

QStringList SampleBuilder::fieldNames(const Node &field)
{
    auto lastStep = [](const QString &path) {
        return path.section(QLatin1Char('|'), 0, 0).section(QLatin1Char('/'), -1).trimmed().section(QLatin1Char(':'), -1);
    };
    // An attribute is told apart by the element the selector picks ("Layer@id").
    QString selected = lastStep(Node{field.n->parent, field.doc}.child("selector").attr("xpath"));
    if (selected == QLatin1String("*") || selected == QLatin1String("."))
        selected.clear();
    QStringList out;
    for (QString step : field.attr("xpath").split(QLatin1Char('|'))) {
        step = lastStep(step);
        if (step.startsWith(QLatin1Char('@')))
            out << selected + step;
        else
            out << QLatin1Char('<') + step;
    }
    return out;
}

QString SampleBuilder::keyOf(const QString &element, const QString &attribute) const
{
    const QString qualified = element + QLatin1Char('@') + attribute;
    if (m_keyAttributes.contains(qualified) || m_keyRefs.contains(qualified))
        return qualified;
    return QLatin1Char('@') + attribute;
}

void SampleBuilder::fillKeyRefs()
{
    for (const PendingRef &p : std::as_const(m_pendingRefs)) {
        const auto value = m_keyFirst.constFind(p.key);
        if (value != m_keyFirst.cend() && m_values.accepts(p.type, *value))
            p.element->attributes[p.attribute].second = *value;
    }
}

} // namespace owb::xsd
