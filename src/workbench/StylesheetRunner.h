#pragma once
#include "xml/DomDocument.h"
#include "xml/Xslt.h"

#include <QString>

namespace owb {

// Applies the stylesheet page's text to the current document and writes the result to
// output/result.<extension> below the writable root. Failures throw OstrelError; what the
// user is told is the caller's part.
class StylesheetRunner {
public:
    // Parses the stylesheet; not well-formed text throws with the parser's reason as the
    // description. location: the file the text came from, against which the stylesheet's
    // relative includes, imports and document() calls resolve; empty when it came from none.
    void load(const QString &stylesheetText, const QString &location = {});
    // Takes a stylesheet read into a stylesheetDocument() (from a file, say).
    void load(const DomDocument &stylesheet);
    // A document set up to read a stylesheet into: blank text kept (xsl:text relies on it),
    // entities replaced by their text, external ones read from local files as modules are.
    static DomDocument stylesheetDocument();
    // Transforms the document that owns element with the loaded stylesheet, writes the
    // result and returns the file's path.
    QString run(const DomNode &element) const;
    // The same transformation, the result kept in memory.
    XsltTransform::Result transform(const DomNode &element) const;

    // "xml" without an xsl:output; by its method "xml", "html", anything else "txt"; without
    // a method "html" when the result was made as HTML, else "xml".
    static QString extensionFor(const XsltTransform::Result &result);

private:
    DomDocument m_stylesheet;
};

} // namespace owb
