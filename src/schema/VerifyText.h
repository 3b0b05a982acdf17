#pragma once
// The text surgery that points a document at its schema before validation, and the way back
// from a line of the rewritten work file to the line the user sees.
#include <QList>
#include <QPair>
#include <QString>

namespace owb::verifytext {

// An attribute of a start tag: [start, end) covers name, "=" and the quoted value.
struct Attribute {
    QString name;
    qsizetype start = 0;
    qsizetype end = 0;
};

struct StartTag {
    qsizetype start = -1;    // the "<"; -1 when none was found
    qsizetype nameEnd = 0;   // just behind the element name
    qsizetype end = 0;       // just behind the closing ">"
    QString name;            // qualified, as written
    QList<Attribute> attributes;

    bool isNull() const { return start < 0; }
    const Attribute *attribute(const QString &attrName) const;
};

// The start tag at text[lt] == '<'; null when it is not a complete start tag.
StartTag startTagAt(const QString &text, qsizetype lt);
// The start tag of the first element, behind the XML declaration, comments, processing
// instructions and the doctype declaration; null when the text has none.
StartTag rootStartTag(const QString &text);

// 1-based line of position pos.
int lineAt(const QString &text, qsizetype pos);

// Maps a line of an edited text back to the text before the edits.
class LineMap {
public:
    // delta line breaks appeared (> 0) or vanished (< 0) at line `line` of the text as it was
    // just before this edit. Record edits in the order they were made.
    void edited(int line, int delta);
    int toOriginal(int line) const;

private:
    QList<QPair<int, int>> m_edits;
};

struct PreparedSchema {
    QString text;
    QString ns;   // the namespace the document is validated in
};

// schemaText: the serialised xs:schema element; targetNamespace: its attribute, a null string
// when it has none (then the schema is moved into validationNs).
PreparedSchema prepareSchema(const QString &schemaText, const QString &targetNamespace,
                             const QString &validationNs);

struct PreparedDocument {
    QString text;
    LineMap lines;
    bool rootMissing = false;   // the declarations were needed but the root is not the doctype
    int rootLine = 1;           // line of the root start tag in the user's text
};

// Drops the root's server id and, unless the text mentions ns already, declares ns on the
// root element with a schema-location hint naming schemaFile.
PreparedDocument prepareDocument(const QString &text, const QString &ns, const QString &doctype,
                                 const QString &schemaFile);

} // namespace owb::verifytext
