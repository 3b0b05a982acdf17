#include "server/ServerAnswer.h"

#include "xml/Namespaces.h"
#include "xml/ParseGuard.h"

namespace owb {

namespace {

// The envelope's names: the result section (xql:result), the failure text (osl:messagetext)
// with its code (osl:code), and the id of a result document (osl:id).
struct Known {
    const char *uri;
    const char *prefix;
    const char *local;
};
constexpr Known kResult{ns::XQL, "xql", "result"};
constexpr Known kMessageText{ns::OSL, "osl", "messagetext"};
constexpr Known kId{ns::OSL, "osl", "id"};
constexpr Known kCode{ns::OSL, "osl", "code"};

bool matches(const EnvelopeScanner::Name &name, const Known &known)
{
    if (name.local != QByteArrayView(known.local))
        return false;
    if (!name.uri.isEmpty())
        return name.uri == QByteArrayView(known.uri);
    return name.prefix == QByteArrayView(known.prefix);
}

} // namespace

QString ServerFailure::describe() const
{
    return text.isEmpty() ? code : code + QStringLiteral(": ") + text;
}

bool EnvelopeScanner::isAttribute(const Name &name, Attribute which)
{
    return matches(name, which == Attribute::Id ? kId : kCode);
}

void EnvelopeScanner::reset()
{
    *this = EnvelopeScanner();
}

EnvelopeScanner::Role EnvelopeScanner::start(const Name &name, const Attributes &attributes)
{
    if (m_depth >= 0)
        return ++m_depth == 1 ? Role::ResultRoot : Role::InsideResult;
    if (m_failureDepth > 0) {
        ++m_failureDepth;
        return Role::FailureText;
    }
    if (matches(name, kMessageText)) {
        // Without a code it is a plain note, not a failure.
        if (const auto code = attributes.find(Attribute::Code)) {
            m_failureCode = QString::fromUtf8(*code);
            m_failureText.clear();
            m_failureDepth = 1;
            return Role::FailureText;
        }
    }
    if (matches(name, kResult)) {
        m_depth = 0;
        m_resultSeen = true;
    }
    return Role::Envelope;
}

void EnvelopeScanner::text(const char *data, qsizetype size)
{
    if (m_failureDepth > 0)
        m_failureText.append(data, size);
}

bool EnvelopeScanner::end()
{
    if (m_failureDepth > 0) {
        if (--m_failureDepth > 0)
            return false;
        m_failure = ServerFailure{m_failureCode, QString::fromUtf8(m_failureText).trimmed()};
        return true;
    }
    if (m_depth >= 0)
        --m_depth;   // from 0 to -1: the end of the result section itself
    return false;
}

// ---------------------------------------------------------------- a loaded answer

namespace {

struct NodeName {
    explicit NodeName(const DomNode &n)
        : uri(n.namespaceURI().toUtf8()), prefix(n.prefix().toUtf8()), local(n.localName().toUtf8())
    {
    }
    EnvelopeScanner::Name name() const { return {uri, prefix, local}; }
    QByteArray uri, prefix, local;
};

class NodeAttributes : public EnvelopeScanner::Attributes {
public:
    explicit NodeAttributes(const DomNode &element) : m_element(element) {}
    std::optional<QByteArray> find(EnvelopeScanner::Attribute which) const override
    {
        for (const DomNode &a : m_element.attributes())
            if (EnvelopeScanner::isAttribute(NodeName(a).name(), which))
                return a.nodeValue().toUtf8();
        return std::nullopt;
    }

private:
    const DomNode &m_element;
};

// Hands the envelope to the scanner; result sections are entered no further than their start.
void walk(EnvelopeScanner &scanner, const DomNode &node, DomNode *firstResult)
{
    switch (node.nodeType()) {
    case DomNodeType::Element: {
        const bool wasInResult = scanner.inResult();
        scanner.start(NodeName(node).name(), NodeAttributes(node));
        if (!wasInResult && scanner.inResult()) {
            if (!*firstResult)
                *firstResult = node;
        } else {
            for (DomNode child = node.firstChild(); child && !scanner.failure(); child = child.nextSibling())
                walk(scanner, child, firstResult);
        }
        scanner.end();
        break;
    }
    case DomNodeType::Text:
    case DomNodeType::CData: {
        const QByteArray text = node.nodeValue().toUtf8();
        scanner.text(text.constData(), text.size());
        break;
    }
    default:
        break;
    }
}

} // namespace

ServerAnswer::ServerAnswer() : m_doc(NewDOMDocument(false, true)) {}

bool ServerAnswer::load(const QByteArray &bytes, const QString &baseUrl, bool keepBlanks)
{
    m_doc.setPreserveWhiteSpace(keepBlanks);
    m_doc.setEnvelopeLevels(xmlparse::AnswerEnvelope);
    m_result = DomNode();
    m_failure.reset();
    if (!m_doc.loadBytes(bytes, baseUrl))
        return false;
    scan();
    return true;
}

void ServerAnswer::scan()
{
    EnvelopeScanner scanner;
    if (const DomNode root = m_doc.documentElement())
        walk(scanner, root, &m_result);
    m_failure = scanner.failure();
}

DomNode ServerAnswer::firstResultRoot() const
{
    for (DomNode child = m_result ? m_result.firstChild() : DomNode(); child; child = child.nextSibling())
        if (child.nodeType() == DomNodeType::Element)
            return child;
    return {};
}

DomNode ServerAnswer::message() const
{
    const DomNode r = root();
    const DomNode last = r ? r.lastChild() : DomNode();
    return last && last.nodeType() == DomNodeType::Element ? last : DomNode();
}

std::optional<QString> ServerAnswer::returnValue() const
{
    const DomNode m = message();
    const QList<DomNode> attributes = m ? m.attributes() : QList<DomNode>();
    if (attributes.isEmpty())
        return std::nullopt;
    return attributes.first().nodeValue();
}

QString ServerAnswer::messageText() const
{
    const DomNode m = message();
    const DomNode last = m ? m.lastChild() : DomNode();
    return last ? last.text() : QString();
}

DomNode ServerAnswer::object() const
{
    const DomNode r = root();
    return r ? r.selectSingleNode(QStringLiteral("osl:object")) : DomNode();
}

QString ServerAnswer::objectId() const
{
    const DomNode o = object();
    return o ? o.getAttribute(QStringLiteral("osl:id")) : QString();
}

} // namespace owb
