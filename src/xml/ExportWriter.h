#pragma once
#include <QByteArray>
#include <QString>

namespace owb {

class DomNode;

namespace ExportWriter {

// The bytes of an exported document: the iso-8859-1 declaration, CR LF, the element indented.
// Characters outside ISO-8859-1 become character references (a CDATA section holding one is
// written as plain text); where no reference can stand, OstrelError names the character.
QByteArray content(const DomNode &element);

// The same declaration and encoding around the element's own text, not indented anew: every
// blank of the document stays, so that storing the file again gives back the same document.
QByteArray exactContent(const DomNode &element);

// Writes content(element) (or exactContent) to path, replacing an existing file; a failure
// leaves no half-written file behind.
void write(const QString &path, const DomNode &element, bool exact = false);

} // namespace ExportWriter
} // namespace owb
