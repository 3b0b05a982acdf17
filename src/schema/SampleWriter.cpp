// The sample as text: every namespace it uses declared once, on its root.
#include "schema/SampleBuilder.h"

#include "xml/Namespaces.h"

#include <QRegularExpression>

namespace owb::xsd {

namespace {

QString escaped(const QString &text, bool attribute)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += attribute ? QLatin1String("&quot;") : QLatin1String("\""); break;
        case '\t': out += attribute ? QLatin1String("&#9;") : QLatin1String("\t"); break;
        case '\n': out += attribute ? QLatin1String("&#10;") : QLatin1String("\n"); break;
        case '\r': out += QLatin1String("&#13;"); break;
        default: out += c;
        }
    }
    return out;
}

struct Namespaces {
    QString defaultNs;
    QList<QPair<QString, QString>> prefixed;   // uri, prefix; in order of first use

    QString prefixOf(const QString &uri) const
    {
        for (const auto &p : prefixed)
            if (p.first == uri)
                return p.second;
        return {};
    }
    QString element(const QName &n) const
    {
        return n.ns == defaultNs ? n.local : prefixOf(n.ns) + QLatin1Char(':') + n.local;
    }
    QString attribute(const QName &n) const
    {
        if (n.ns.isEmpty())
            return n.local;
        if (n.ns == QLatin1String(XML_NS))
            return QStringLiteral("xml:") + n.local;
        return prefixOf(n.ns) + QLatin1Char(':') + n.local;
    }
};

void collect(const SampleElement &e, QStringList &elementNs, QStringList &otherNs, bool &unqualified)
{
    if (e.name.ns.isEmpty())
        unqualified = true;
    else if (!elementNs.contains(e.name.ns))
        elementNs << e.name.ns;
    for (const auto &a : e.attributes)
        if (!a.first.ns.isEmpty() && a.first.ns != QLatin1String(XML_NS) && !otherNs.contains(a.first.ns))
            otherNs << a.first.ns;
    if (!e.xsiType.local.isEmpty() || e.nil) {
        if (!otherNs.contains(QLatin1String(owb::ns::XSI)))
            otherNs << QLatin1String(owb::ns::XSI);
        if (!e.xsiType.ns.isEmpty() && !otherNs.contains(e.xsiType.ns))
            otherNs << e.xsiType.ns;
    }
    for (const auto &c : e.children)
        collect(*c, elementNs, otherNs, unqualified);
}

void writeElement(const SampleElement &e, const Namespaces &ns, const QString &declarations, QString &out)
{
    const QString name = ns.element(e.name);
    out += QLatin1Char('<') + name + declarations;
    if (e.nil)
        out += QLatin1Char(' ') + ns.prefixOf(QLatin1String(owb::ns::XSI)) + QStringLiteral(":nil=\"true\"");
    if (!e.xsiType.local.isEmpty()) {
        const QString type = e.xsiType.ns.isEmpty() || e.xsiType.ns == ns.defaultNs && ns.prefixOf(e.xsiType.ns).isEmpty()
                                 ? e.xsiType.local
                                 : ns.prefixOf(e.xsiType.ns) + QLatin1Char(':') + e.xsiType.local;
        out += QLatin1Char(' ') + ns.prefixOf(QLatin1String(owb::ns::XSI)) + QStringLiteral(":type=\"") + type
               + QLatin1Char('"');
    }
    for (const auto &a : e.attributes)
        out += QLatin1Char(' ') + ns.attribute(a.first) + QStringLiteral("=\"") + escaped(a.second, true) + QLatin1Char('"');
    if (e.children.empty() && e.text.isEmpty()) {
        out += QStringLiteral("/>");
        return;
    }
    out += QLatin1Char('>') + escaped(e.text, false);
    for (const auto &c : e.children)
        writeElement(*c, ns, QString(), out);
    out += QStringLiteral("</") + name + QLatin1Char('>');
}

} // namespace

QString SampleBuilder::write(const SampleElement &root) const
{
    QStringList elementNs, otherNs;
    bool unqualified = false;
    collect(root, elementNs, otherNs, unqualified);

    Namespaces ns;
    // The root's namespace as the default, unless an element of no namespace would fall into it.
    if (!root.name.ns.isEmpty() && !unqualified)
        ns.defaultNs = root.name.ns;
    QStringList taken{QStringLiteral("xml"), QStringLiteral("xmlns"), QStringLiteral("xsi")};
    static const QRegularExpression ncName(QStringLiteral("^[A-Za-z_][A-Za-z0-9._-]*$"));
    int numbered = 0;
    for (const QString &uri : elementNs + otherNs) {
        if (!ns.prefixOf(uri).isEmpty() || (uri == ns.defaultNs && !otherNs.contains(uri)))
            continue;
        QString prefix = uri == QLatin1String(owb::ns::XSI) ? QStringLiteral("xsi") : m_schemas.prefixFor(uri);
        if (uri != QLatin1String(owb::ns::XSI) && (prefix.isEmpty() || taken.contains(prefix) || !ncName.match(prefix).hasMatch())) {
            do
                prefix = QStringLiteral("ns%1").arg(++numbered);
            while (taken.contains(prefix));
        }
        taken << prefix;
        ns.prefixed.append({uri, prefix});
    }

    QString declarations;
    if (!ns.defaultNs.isEmpty())
        declarations += QStringLiteral(" xmlns=\"") + escaped(ns.defaultNs, true) + QLatin1Char('"');
    for (const auto &p : std::as_const(ns.prefixed))
        declarations += QStringLiteral(" xmlns:") + p.second + QStringLiteral("=\"") + escaped(p.first, true) + QLatin1Char('"');
    QString out;
    writeElement(root, ns, declarations, out);
    return out;
}

} // namespace owb::xsd
