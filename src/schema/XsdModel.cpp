#include "schema/XsdModel.h"

#include "common/OstrelError.h"
#include "schema/SchemaSource.h"
#include "schema/XsdStream.h"
#include "xml/Namespaces.h"

namespace owb::xsd {

namespace {

const QString kSource = QStringLiteral("BuildNewDoc");

QString str(const xmlChar *s) { return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString(); }

const char *const kKindNames[] = {"element", "attribute", "complexType", "simpleType", "group", "attributeGroup",
                                  "notation", "key"};

struct FirstError {
    QString text;
    static void onError(void *ctx, xmlErrorPtr err)
    {
        auto *self = static_cast<FirstError *>(ctx);
        if (err && err->level >= XML_ERR_ERROR && self->text.isEmpty())
            self->text = QStringLiteral("line %1: %2").arg(err->line).arg(str(BAD_CAST err->message).trimmed());
    }
};

} // namespace

bool QName::isXs(const char *name) const
{
    return ns == QLatin1String(owb::ns::XS) && (!name || local == QLatin1String(name));
}

bool isXsElement(xmlNodePtr n, const char *local)
{
    return n && n->type == XML_ELEMENT_NODE && n->ns && xmlStrEqual(n->ns->href, BAD_CAST owb::ns::XS)
           && (!local || xmlStrEqual(n->name, BAD_CAST local));
}

bool Node::is(const char *local) const { return isXsElement(n, local); }

QString Node::attr(const char *name) const
{
    if (!n)
        return {};
    xmlChar *v = xmlGetNoNsProp(n, BAD_CAST name);
    if (!v)
        return {};
    const QString out = str(v);
    xmlFree(v);
    return out;
}

QList<Node> Node::children() const
{
    QList<Node> out;
    for (xmlNodePtr c = n ? n->children : nullptr; c; c = c->next)
        if (isXsElement(c) && !xmlStrEqual(c->name, BAD_CAST "annotation"))
            out << Node{c, doc};
    return out;
}

Node Node::child(const char *local) const
{
    for (xmlNodePtr c = n ? n->children : nullptr; c; c = c->next)
        if (isXsElement(c, local))
            return {c, doc};
    return {};
}

int Node::line() const { return n ? int(xmlGetLineNo(n)) : 0; }

SchemaSet::SchemaSet() = default;

SchemaSet::~SchemaSet()
{
    for (auto &d : m_docs)
        xmlFreeDoc(d->doc);
}

void SchemaSet::load(const QString &text, const QString &url, SchemaSource *source)
{
    // A text is read as the text it is, whatever encoding its declaration names.
    loadDoc(text.toUtf8(), "UTF-8", url, QString(), false, source);
}

void SchemaSet::loadDoc(const QByteArray &bytes, const char *encoding, const QString &url, const QString &includerNs,
                        bool include, SchemaSource *source)
{
    const bool isMain = m_docs.empty();
    FirstError errors;
    QString refused;
    xmlDocPtr doc = nullptr;
    {
        xsdstream::ErrorRoute route(&errors, &FirstError::onError);
        doc = xsdstream::parseDocument(bytes, url, &refused, encoding);
    }
    const QString why = !refused.isEmpty() ? refused : errors.text;
    if (!doc)
        throw OstrelError(kSource, (isMain ? QStringLiteral("Failed to load schema") : QStringLiteral("Failed to load ") + url)
                                       + QStringLiteral("\r\n") + why);
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (!isXsElement(root, "schema")) {
        xmlFreeDoc(doc);
        throw OstrelError(kSource, (isMain ? QStringLiteral("The schema text") : url)
                                       + QStringLiteral(" does not begin with the schema element"));
    }
    auto sd = std::make_unique<SchemaDoc>();
    sd->doc = doc;
    sd->url = url;
    const Node r{root, sd.get()};
    const QString own = r.attr("targetNamespace");
    sd->chameleon = include && own.isNull() && !includerNs.isEmpty();
    sd->targetNs = sd->chameleon ? includerNs : own;
    sd->qualifiedElements = r.attr("elementFormDefault") == QLatin1String("qualified");
    sd->qualifiedAttributes = r.attr("attributeFormDefault") == QLatin1String("qualified");

    const QString key = url + QLatin1Char('|') + sd->targetNs;
    if (!isMain && m_loaded.contains(key)) {
        xmlFreeDoc(sd->doc);
        return;
    }
    m_loaded << key;
    SchemaDoc &kept = *sd;
    m_docs.push_back(std::move(sd));
    index(kept);

    for (const Node &c : Node{root, &kept}.children()) {
        const bool isImport = c.is("import");
        if (!isImport && !c.is("include") && !c.is("redefine") && !c.is("override"))
            continue;
        const QString location = c.attr("schemaLocation");
        const QString ns = isImport ? c.attr("namespace") : QString();
        const QString nsKey = isImport ? ns : kept.targetNs;
        try {
            if (location.isEmpty())
                throw OstrelError(kSource, QStringLiteral("no schemaLocation names it"));
            if (!source)
                throw OstrelError(kSource, QStringLiteral("nothing to read it from"));
            const SchemaSource::Found found = source->find(location, isImport ? ns : QString(), url);
            loadDoc(found.bytes, nullptr, found.url, kept.targetNs, !isImport, source);
        } catch (const OstrelError &e) {
            if (!m_unreadable.contains(nsKey))
                m_unreadable.insert(nsKey, QStringLiteral("the schema %1 (%2) cannot be read: %3")
                                               .arg(location, url.isEmpty() ? QStringLiteral("the main schema") : url,
                                                    e.description()));
        }
    }
}

void SchemaSet::index(SchemaDoc &doc)
{
    // Keys and uniques are named wherever they stand, below element declarations.
    QList<xmlNodePtr> todo{xmlDocGetRootElement(doc.doc)};
    while (!todo.isEmpty()) {
        xmlNodePtr n = todo.takeLast();
        for (xmlNodePtr c = n->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE)
                todo << c;
        const Node node{n, &doc};
        if ((node.is("key") || node.is("unique")) && node.has("name"))
            m_index[IdentityConstraint].insert(QName{doc.targetNs, node.attr("name")}.key(), node);
    }

    const Node root{xmlDocGetRootElement(doc.doc), &doc};
    QList<Node> tops = root.children();
    // Components of redefine and override count as the schema's own.
    for (qsizetype i = 0; i < tops.size(); ++i)
        if (tops[i].is("redefine") || tops[i].is("override"))
            tops << tops[i].children();
    for (const Node &c : tops) {
        for (int k = 0; k < IdentityConstraint; ++k) {
            if (!c.is(kKindNames[k]))
                continue;
            const QString key = QName{doc.targetNs, c.attr("name")}.key();
            if (!m_index[k].contains(key))
                m_index[k].insert(key, c);
        }
    }
}

QList<const SchemaDoc *> SchemaSet::documents() const
{
    QList<const SchemaDoc *> out;
    for (const auto &d : m_docs)
        out << d.get();
    return out;
}

Node SchemaSet::find(Kind kind, const QName &name) const { return m_index[kind].value(name.key()); }

Node SchemaSet::require(Kind kind, const QName &name, const Node &from, const char *what) const
{
    const Node found = find(kind, name);
    if (found)
        return found;
    QString text = QStringLiteral("The schema refers to the %1 %2 (line %3), which is not declared")
                       .arg(QLatin1String(what ? what : kKindNames[kind]), name.ns.isEmpty() ? name.local : name.key())
                       .arg(from.line());
    const auto why = m_unreadable.constFind(name.ns);
    if (why != m_unreadable.cend())
        text += QStringLiteral(": ") + *why;
    throw OstrelError(kSource, text);
}

Node SchemaSet::type(const QName &name, const Node &from) const
{
    if (name.isXs())
        return {};
    if (const Node c = find(ComplexType, name))
        return c;
    return require(SimpleType, name, from, "type");
}

QList<Node> SchemaSet::globalElements() const
{
    QList<Node> out;
    for (const auto &d : m_docs)
        for (const Node &c : Node{xmlDocGetRootElement(d->doc), d.get()}.children())
            if (c.is("element"))
                out << c;
    return out;
}

QList<Node> SchemaSet::substitutes(const QName &head) const
{
    QList<Node> out;
    QList<QName> heads{head};
    const QList<Node> all = globalElements();
    for (qsizetype h = 0; h < heads.size() && h < 1000; ++h) {
        for (const Node &e : all) {
            const QString group = e.attr("substitutionGroup");
            if (group.isNull())
                continue;
            // XSD 1.1 allows a list of heads.
            for (const QString &g : group.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                if (!(resolve(e, g) == heads[h]))
                    continue;
                const QName name = declaredName(e);
                if (heads.contains(name))
                    continue;
                heads << name;
                if (e.attr("abstract") != QLatin1String("true"))
                    out << e;
            }
        }
    }
    return out;
}

QList<Node> SchemaSet::derivedFrom(const QName &base) const
{
    QList<Node> out;
    for (const Node &t : m_index[ComplexType]) {
        const Node content = t.child("complexContent") ? t.child("complexContent") : t.child("simpleContent");
        const Node derivation = content.child("extension") ? content.child("extension") : content.child("restriction");
        if (derivation && resolve(derivation, derivation.attr("base")) == base)
            out << t;
    }
    // The index is a hash: give a stable order.
    std::sort(out.begin(), out.end(), [](const Node &a, const Node &b) {
        return a.doc->url != b.doc->url ? a.doc->url < b.doc->url : a.line() < b.line();
    });
    return out;
}

QName SchemaSet::resolve(const Node &at, const QString &qname) const
{
    const QString trimmed = qname.trimmed();
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    const QString prefix = colon < 0 ? QString() : trimmed.left(colon);
    const QString local = colon < 0 ? trimmed : trimmed.mid(colon + 1);
    if (prefix == QLatin1String("xml"))
        return {QLatin1String(XML_NS), local};
    const QByteArray p = prefix.toUtf8();
    xmlNsPtr ns = xmlSearchNs(at.n->doc, at.n, prefix.isEmpty() ? nullptr : BAD_CAST p.constData());
    QString uri = ns ? str(ns->href) : QString();
    if (uri.isEmpty() && prefix.isEmpty() && at.doc->chameleon)
        uri = at.doc->targetNs;
    if (!ns && !prefix.isEmpty())
        throw OstrelError(kSource, QStringLiteral("The prefix %1 of %2 (line %3) is not declared")
                                       .arg(prefix, trimmed)
                                       .arg(at.line()));
    return {uri, local};
}

QName SchemaSet::declaredName(const Node &decl) const
{
    const QString name = decl.attr("name");
    const bool global = decl.n->parent && isXsElement(decl.n->parent, "schema");
    const bool inRedefine = decl.n->parent && (isXsElement(decl.n->parent, "redefine") || isXsElement(decl.n->parent, "override"));
    if (global || inRedefine)
        return {decl.doc->targetNs, name};
    if (decl.has("targetNamespace"))   // XSD 1.1
        return {decl.attr("targetNamespace"), name};
    const QString form = decl.attr("form");
    const bool qualified = form.isNull() ? (decl.is("attribute") ? decl.doc->qualifiedAttributes
                                                                 : decl.doc->qualifiedElements)
                                         : form == QLatin1String("qualified");
    return {qualified ? decl.doc->targetNs : QString(), name};
}

QString SchemaSet::prefixFor(const QString &ns) const
{
    for (const auto &d : m_docs) {
        xmlNodePtr root = xmlDocGetRootElement(d->doc);
        for (xmlNsPtr n = root ? root->nsDef : nullptr; n; n = n->next)
            if (n->prefix && str(n->href) == ns)
                return str(n->prefix);
    }
    return {};
}

} // namespace owb::xsd
