#pragma once
#include "xml/DomDocument.h"
#include <QString>

#include <functional>

namespace owb {

// Indented text of a node: one element per line, two blanks per level, no XML declaration.
// Comments, CDATA sections, processing instructions and the DOCTYPE come through; an element
// holding text (mixed content, xml:space="preserve") is written as it is, so no text changes.
// Formatting formatted text gives the same text.
class xmlutil {
public:
    // A document or element gives its indented text; other nodes their plain xml().
    QString FormatXML(const DomNode &node) const;
    // The same text as UTF-8, written into one buffer sized from the parsed source: for
    // editors that take bytes, without a detour through UTF-16.
    QByteArray FormatXMLUtf8(const DomNode &node) const;
    // The same bytes handed on in pieces of about a megabyte, never split inside a
    // character, so that a big text need not be held whole; gives the number of bytes.
    using Piece = std::function<void(const char *data, qsizetype size)>;
    qsizetype FormatXMLUtf8(const DomNode &node, const Piece &piece) const;
    QString FormatXML(const DomDocument &doc) const { return FormatXML(doc.node()); }
    // Parses text first; text that is not well-formed throws OstrelError (source "xmlutil").
    QString FormatXML(const QString &text) const;
};

} // namespace owb
