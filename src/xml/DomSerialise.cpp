// Documents and nodes as text, and documents to files.
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"

#include <QSaveFile>

namespace owb {

using namespace domdetail;

namespace domdetail {

QByteArray saveBytes(int options, const std::function<void(xmlSaveCtxtPtr)> &write)
{
    xmlBufferPtr buf = xmlBufferCreate();
    xmlSaveCtxtPtr sc = buf ? xmlSaveToBuffer(buf, "UTF-8", options) : nullptr;
    if (!sc) {
        if (buf)
            xmlBufferFree(buf);
        domFail(QStringLiteral("Cannot serialise a node"));
    }
    write(sc);
    xmlSaveClose(sc);
    QByteArray out(reinterpret_cast<const char *>(xmlBufferContent(buf)), xmlBufferLength(buf));
    xmlBufferFree(buf);
    return out;
}

QByteArray serialise(xmlNodePtr node, int options)
{
    return saveBytes(options, [node](xmlSaveCtxtPtr sc) { xmlSaveTree(sc, node); });
}

QByteArray escapeAttribute(const QByteArray &value)
{
    QByteArray out;
    out.reserve(value.size() + 8);
    for (char ch : value) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        default: out += ch;
        }
    }
    return out;
}

// The parser keeps an escaped ampersand of a namespace name as "&#38;" (the name is stored as
// written, not as a value); escaping it again would change the name.
QByteArray escapeNamespace(const QByteArray &href)
{
    static const QByteArray kAmp("&#38;");
    QByteArray out;
    qsizetype from = 0;
    for (qsizetype at = href.indexOf(kAmp); at >= 0; at = href.indexOf(kAmp, from)) {
        out += escapeAttribute(href.mid(from, at - from)) + kAmp;
        from = at + kAmp.size();
    }
    return out + escapeAttribute(href.mid(from));
}

} // namespace domdetail

QString DomNode::xml() const
{
    if (!m_node)
        return {};
    switch (m_node->type) {
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE: {
        QByteArray out;
        if (m_doc && m_doc->hadDeclaration && m_node == reinterpret_cast<xmlNodePtr>(m_doc->doc))
            out = "<?xml version=\"1.0\"?>\n";
        for (xmlNodePtr c = m_node->children; c; c = c->next) {
            out += serialise(c);
            if (c->next)
                out += '\n';
        }
        return QString::fromUtf8(out);
    }
    case XML_ATTRIBUTE_NODE: {
        const QByteArray v = text().toUtf8();
        return nodeName() + QStringLiteral("=\"") + QString::fromUtf8(escapeAttribute(v)) + QLatin1Char('"');
    }
    case XML_ELEMENT_NODE: {
        if (!m_node->parent || m_node->parent->type != XML_ELEMENT_NODE)
            return QString::fromUtf8(serialise(m_node));
        // A copy on its own declares the prefixes that came from its ancestors.
        xmlDocPtr tmp = xmlNewDoc(BAD_CAST "1.0");
        xmlNodePtr copy = xmlDocCopyNode(m_node, tmp, 1);
        if (!copy) {
            xmlFreeDoc(tmp);
            domFail(QStringLiteral("Cannot serialise element %1").arg(nodeName()));
        }
        xmlDocSetRootElement(tmp, copy);
        const QByteArray out = serialise(copy);
        xmlFreeDoc(tmp);
        return QString::fromUtf8(out);
    }
    default:
        return QString::fromUtf8(serialise(m_node));
    }
}

void DomDocument::save(const QString &path) const
{
    xmlDocPtr doc = m_s->cur->doc;
    const QByteArray out = saveBytes(XML_SAVE_AS_XML, [doc](xmlSaveCtxtPtr sc) { xmlSaveDoc(sc, doc); });
    QSaveFile f(path);
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit())
        domFail(QStringLiteral("Cannot save %1: %2").arg(path, f.errorString()));
}

QString DomDocument::xml() const { return node().xml(); }

} // namespace owb
