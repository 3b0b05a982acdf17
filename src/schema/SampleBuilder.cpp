#include "schema/SampleBuilder.h"

#include "common/OstrelError.h"
#include "common/XmlLimits.h"

namespace owb::xsd {

namespace {

const QString kSource = QStringLiteral("BuildNewDoc");

[[noreturn]] void fail(const QString &description) { throw OstrelError(kSource, description); }

QString shown(const QName &name) { return name.ns.isEmpty() ? name.local : name.key(); }

bool isParticle(const Node &n)
{
    return n.is("sequence") || n.is("choice") || n.is("all") || n.is("group") || n.is("element") || n.is("any");
}

// Takes the declaration off the path however the build of it ends.
class PathEntry {
public:
    PathEntry(QList<xmlNodePtr> &path, xmlNodePtr n) : m_path(path) { m_path << n; }
    ~PathEntry() { m_path.removeLast(); }
    PathEntry(const PathEntry &) = delete;
    PathEntry &operator=(const PathEntry &) = delete;

private:
    QList<xmlNodePtr> &m_path;
};

} // namespace

SampleBuilder::SampleBuilder(const SchemaSet &schemas, const QString &avoid)
    : m_schemas(schemas), m_model(schemas), m_values(schemas, avoid)
{
    collectKeys();
}

std::unique_ptr<SampleElement> SampleBuilder::build(const Node &globalElement)
{
    m_count = 0;
    m_ids.clear();
    m_pendingRefs.clear();
    m_expanded.clear();
    m_path.clear();
    auto root = element(globalElement, true, 1);
    bool needsId = false;
    std::function<void(const SampleElement &)> scan = [&](const SampleElement &e) {
        needsId = needsId || e.idRefText || !e.idRefAttributes.isEmpty();
        for (const auto &c : e.children)
            scan(*c);
    };
    scan(*root);
    fillKeyRefs();
    if (needsId) {
        if (m_ids.isEmpty())
            fail(QStringLiteral("An IDREF value must name an ID of the document, and the sample holds no ID"));
        fillIdRefs(*root, m_ids.first());
    }
    return root;
}

bool SampleBuilder::onPath(const Node &declOrRef) const
{
    if (!declOrRef.is("element"))
        return false;
    const Node decl = declOrRef.has("ref")
                          ? m_schemas.find(SchemaSet::Element, m_schemas.resolve(declOrRef, declOrRef.attr("ref")))
                          : declOrRef;
    return decl && m_path.contains(decl.n);
}

std::unique_ptr<SampleElement> SampleBuilder::element(const Node &declOrRef, bool full, int depth)
{
    const ElementInfo e = m_model.standIn(declOrRef);
    if (e.abstract)
        fail(QStringLiteral("The element %1 is abstract, and no element of its substitution group can be built")
                 .arg(shown(e.name)));
    if (++m_count > MaxElements)
        fail(QStringLiteral("The sample document would hold more than %1 elements").arg(MaxElements));
    if (depth > xmllimits::MaxDepth)
        fail(QStringLiteral("The sample document would nest deeper than %1 levels").arg(xmllimits::MaxDepth));

    auto out = std::make_unique<SampleElement>();
    out->name = e.name;
    const bool expand = full && m_count < FullBudget && !m_expanded.contains(e.decl.n);
    if (expand)
        m_expanded.insert(e.decl.n);
    const PathEntry entry(m_path, e.decl.n);

    Node type = e.type;
    const QString preset = !e.fixed.isNull() ? e.fixed : e.defaultValue;
    if (type && type.is("complexType")) {
        if (m_model.isAbstract(type)) {
            const Node concrete = m_model.concreteType(type);
            if (!concrete && !e.nillable)
                fail(QStringLiteral("The type %1 of the element %2 is abstract, and no type derived from it can be built")
                         .arg(shown(m_model.typeName(type)), shown(e.name)));
            if (concrete) {
                out->xsiType = m_model.typeName(concrete);
                type = concrete;
            }
        }
        if (m_model.isAbstract(type) || m_model.typeCost(type) >= Unbuildable) {
            if (!e.nillable) {
                fail(QStringLiteral("The element %1 (line %2) cannot be built: its content has no finite instance")
                         .arg(shown(e.name))
                         .arg(e.decl.line()));
            }
            out->nil = true;
            attributes(*out, type);
            return out;
        }
        attributes(*out, type);
        if (m_model.hasSimpleContent(type)) {
            const SimpleType simple = m_model.simpleContent(type, m_values);
            out->text = !preset.isNull() ? preset : value(simple, e.decl, &out->idRefText);
            if (m_keyElements.contains(e.name.local) && e.fixed.isNull())
                out->text = distinct(QLatin1Char('<') + e.name.local, out->text, simple);
        }
        else if (!preset.isNull() && type.attr("mixed") == QLatin1String("true"))
            out->text = preset;
        else
            complexContent(*out, type, expand, depth);
    } else if (!type && e.builtin.isXs("anyType")) {
        if (!preset.isNull())
            out->text = preset;
    } else {
        const SimpleType simple = m_model.simpleType(type, e.builtin, m_values);
        out->text = !preset.isNull() ? preset : value(simple, e.decl, &out->idRefText);
        if (m_keyElements.contains(e.name.local) && e.fixed.isNull())
            out->text = distinct(QLatin1Char('<') + e.name.local, out->text, simple);
    }
    return out;
}

void SampleBuilder::complexContent(SampleElement &out, const Node &complexType, bool full, int depth)
{
    for (const Node &p : m_model.particles(complexType))
        particle(out, p, full, depth);
}

void SampleBuilder::particle(SampleElement &out, const Node &p, bool full, int depth)
{
    const int min = ContentModel::minOccurs(p), max = ContentModel::maxOccurs(p);
    if (max == 0)
        return;
    if (min > 0) {
        for (int i = 0; i < min; ++i)
            term(out, p, full && i == 0, depth);
        return;
    }
    // Optional content once, where it can be had without recursion; an optional wildcard
    // is left out.
    if (!full || p.is("any") || m_count >= FullBudget || onPath(p) || m_model.termCost(p) >= Unbuildable)
        return;
    SampleElement trial;
    const int count = m_count;
    const QStringList ids = m_ids;
    const qsizetype pending = m_pendingRefs.size();
    try {
        term(trial, p, true, depth);
    } catch (const OstrelError &) {
        // Optional content that cannot be built is left out, with all it noted.
        m_count = count;
        m_ids = ids;
        m_pendingRefs.resize(pending);
        return;
    }
    for (auto &c : trial.children)
        out.children.push_back(std::move(c));
}

void SampleBuilder::term(SampleElement &out, const Node &t, bool full, int depth)
{
    if (t.is("element")) {
        out.children.push_back(element(t, full, depth + 1));
    } else if (t.is("any")) {
        wildcard(out, t, depth);
    } else if (t.is("group")) {
        const Node g = t.has("ref") ? m_schemas.require(SchemaSet::Group, m_schemas.resolve(t, t.attr("ref")), t) : t;
        for (const Node &c : g.children())
            if (c.is("sequence") || c.is("choice") || c.is("all"))
                term(out, c, full, depth);
    } else if (t.is("choice")) {
        Node pick, firstFinite;
        qint64 best = Unbuildable;
        for (const Node &c : t.children()) {
            if (!isParticle(c))
                continue;
            const qint64 cost = m_model.particleCost(c);
            if (cost >= Unbuildable)
                continue;
            if (full) {
                // The first alternative that can be built, one that does not recur if there is one.
                if (!firstFinite)
                    firstFinite = c;
                if (!onPath(c)) {
                    pick = c;
                    break;
                }
            } else if (cost < best) {
                best = cost;
                pick = c;
            }
        }
        if (!pick)
            pick = firstFinite;
        if (!pick)
            fail(QStringLiteral("No alternative of the choice at line %1 can be built").arg(t.line()));
        particle(out, pick, full, depth);
    } else {
        for (const Node &c : t.children())
            if (isParticle(c))
                particle(out, c, full, depth);
    }
}

void SampleBuilder::wildcard(SampleElement &out, const Node &any, int depth)
{
    const QString targetNs = any.doc->targetNs;
    QStringList namespaces = any.attr("namespace").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (namespaces.isEmpty())
        namespaces << QStringLiteral("##any");
    const QString process = any.attr("processContents");
    auto allowed = [&](const QString &ns) {
        if (namespaces.first() == QLatin1String("##any"))
            return true;
        if (namespaces.first() == QLatin1String("##other"))
            return !ns.isEmpty() && ns != targetNs;
        for (const QString &s : namespaces)
            if ((s == QLatin1String("##targetNamespace") && ns == targetNs) || (s == QLatin1String("##local") && ns.isEmpty())
                || s == ns)
                return true;
        return false;
    };
    if (process.isNull() || process == QLatin1String("strict")) {
        for (const Node &g : m_schemas.globalElements()) {
            const ElementInfo e = m_model.element(g);
            if (!e.abstract && allowed(e.name.ns) && !m_path.contains(g.n) && m_model.cost(e) < Unbuildable) {
                out.children.push_back(element(g, false, depth + 1));
                return;
            }
        }
        fail(QStringLiteral("The wildcard at line %1 asks for a declared element of the namespaces \"%2\", and the "
                            "schema declares none that can be built")
                 .arg(any.line())
                 .arg(namespaces.join(QLatin1Char(' '))));
    }
    // Lax or skip: an element no schema declares is accepted as it is.
    QString ns = QStringLiteral("http://www.example.com/sample");
    const QString first = namespaces.first();
    if (first == QLatin1String("##targetNamespace"))
        ns = targetNs;
    else if (first == QLatin1String("##local"))
        ns.clear();
    else if (!first.startsWith(QLatin1String("##")))
        ns = first;
    if (++m_count > MaxElements)
        fail(QStringLiteral("The sample document would hold more than %1 elements").arg(MaxElements));
    auto e = std::make_unique<SampleElement>();
    e->name = {ns, QStringLiteral("sample")};
    out.children.push_back(std::move(e));
}

void SampleBuilder::attributes(SampleElement &out, const Node &complexType)
{
    for (const AttributeUse &use : m_model.attributes(complexType)) {
        try {
            bool idRef = false;
            const SimpleType simple = m_model.simpleType(use.type, use.builtin, m_values);
            QString v = !use.fixed.isNull()          ? use.fixed
                        : !use.defaultValue.isNull() ? use.defaultValue
                                                     : value(simple, use.decl, &idRef);
            const QString key = keyOf(out.name.local, use.name.local);
            if (m_keyAttributes.contains(key) && use.fixed.isNull())
                v = distinct(key, v, simple);
            if (m_keyRefs.contains(key) && use.fixed.isNull())
                m_pendingRefs.append({&out, int(out.attributes.size()), m_keyRefs.value(key), simple});
            if (idRef)
                out.idRefAttributes << int(out.attributes.size());
            out.attributes.append({use.name, v});
        } catch (const OstrelError &) {
            // An optional attribute without a value is left out.
            if (use.required)
                throw;
        }
    }
}

QString SampleBuilder::value(const SimpleType &type, const Node &where, bool *idRef)
{
    const SampleValues::Value v = m_values.make(type);
    if (!v.ok())
        fail(QStringLiteral("No valid value for %1 (line %2): %3")
                 .arg(shown(m_schemas.declaredName(where)))
                 .arg(where.line())
                 .arg(v.why));
    *idRef = v.idRef;
    QString text = v.text;
    if (type.variety == SimpleType::Atomic && type.builtin == QLatin1String("ID")) {
        // IDs are unique in a document.
        for (int n = 2; m_ids.contains(text) && n < 100; ++n)
            text = m_values.another(type, v.text, n);
        if (m_ids.contains(text))
            fail(QStringLiteral("No second value for the ID %1 (line %2) satisfies its type")
                     .arg(shown(m_schemas.declaredName(where)))
                     .arg(where.line()));
        m_ids << text;
    }
    return text;
}

void SampleBuilder::fillIdRefs(SampleElement &e, const QString &id)
{
    for (int i : std::as_const(e.idRefAttributes))
        e.attributes[i].second = id;
    if (e.idRefText)
        e.text = id;
    for (auto &c : e.children)
        fillIdRefs(*c, id);
}

} // namespace owb::xsd
