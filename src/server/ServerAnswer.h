#pragma once
#include "xml/DomDocument.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace owb {

// What a server answer says when it refuses a request: the failure text carrying a code,
// outside the result documents.
struct ServerFailure {
    QString code;   // as sent
    QString text;   // the message text, trimmed

    // "code: text", the form every caller shows.
    QString describe() const;
};

// The one reader of the answer envelope, element by element, as a streaming parse or a walk
// of a loaded answer hands them over. It knows the envelope's names: where the result section
// begins and ends, which elements are result documents (the direct children of a result
// section), and the failure text with its code. A stored document may hold elements of the
// same names: nothing inside a result section counts. Names match by namespace; an element
// whose prefix is bound to no namespace at all matches by its prefix.
class EnvelopeScanner {
public:
    struct Name {
        QByteArrayView uri;      // empty when no namespace applies
        QByteArrayView prefix;
        QByteArrayView local;
    };
    enum class Attribute { Id, Code };
    // The attributes of the element being started, asked for by name.
    class Attributes {
    public:
        virtual ~Attributes() = default;
        virtual std::optional<QByteArray> find(Attribute which) const = 0;
    };

    enum class Role {
        Envelope,       // a part of the envelope (also the start of a result section)
        ResultRoot,     // the root element of a result document
        InsideResult,   // below a result document's root
        FailureText,    // the failure text or something inside it
    };

    void reset();
    Role start(const Name &name, const Attributes &attributes);
    void text(const char *data, qsizetype size);
    // True when the element ended was the failure text: failure() is now complete.
    bool end();

    // Whether the attribute named so matches the wanted one.
    static bool isAttribute(const Name &name, Attribute which);

    bool resultSeen() const { return m_resultSeen; }
    bool inResult() const { return m_depth >= 0; }
    const std::optional<ServerFailure> &failure() const { return m_failure; }

private:
    int m_depth = -1;   // -1: outside a result section, 0: directly inside, n: in a result document
    int m_failureDepth = 0;
    bool m_resultSeen = false;
    QString m_failureCode;
    QByteArray m_failureText;
    std::optional<ServerFailure> m_failure;
};

// One server answer, loaded as a document (whitespace between elements does not count unless
// asked to keep it). Failure and result section are found by the EnvelopeScanner; the message
// element is the root's last child, its first attribute the return value and its last child
// the message text.
class ServerAnswer {
public:
    ServerAnswer();

    // False when bytes are not well-formed XML; parseError() then says why.
    bool load(const QByteArray &bytes, const QString &baseUrl = {}, bool keepBlanks = false);
    const DomParseError &parseError() const { return m_doc.parseError(); }

    DomDocument document() const { return m_doc; }
    DomNode root() const { return m_doc.documentElement(); }
    const std::optional<ServerFailure> &failure() const { return m_failure; }
    // The first result section; null when the answer holds none.
    DomNode result() const { return m_result; }
    // Its first element, a result document's root; null when there is none.
    DomNode firstResultRoot() const;
    // The message element, when the root's last child is an element.
    DomNode message() const;
    std::optional<QString> returnValue() const;
    QString messageText() const;
    // The stored object a write reports, and its id (null when absent).
    DomNode object() const;
    QString objectId() const;

private:
    void scan();

    DomDocument m_doc;
    DomNode m_result;
    std::optional<ServerFailure> m_failure;
};

} // namespace owb
