#pragma once
#include "xml/DomDocument.h"
#include <QByteArray>
#include <QString>
#include <QStringList>

struct _xsltStylesheet;

namespace owb {

// An XSLT stylesheet ready to apply, with the EXSLT extensions. Stylesheets may read local
// files but may not write files, create folders or use the network. Documents and stylesheets
// are read as the processor reads files: entities of their internal subsets replaced by their
// text, CDATA sections as text. Errors throw OstrelError (source "XSLT") with
// the processor's message.
class XsltTransform {
public:
    struct Result {
        QByteArray bytes;   // serialised as xsl:output asks (encoding included)
        // "xml", "html", "text", or empty when the stylesheet names none; a method in a
        // namespace as "{uri}name".
        QString method;
        QString encoding;   // xsl:output encoding, empty when not stated
        bool outputDeclared = false;   // the stylesheet has a top-level xsl:output
        // The processor built an HTML result: method "html", or none stated and an <html>
        // root in no namespace (its default).
        bool html = false;
        QStringList messages;   // what xsl:message said, and the processor's warnings
    };

    XsltTransform();
    ~XsltTransform();
    XsltTransform(XsltTransform &&other) noexcept;
    XsltTransform &operator=(XsltTransform &&other) noexcept;
    XsltTransform(const XsltTransform &) = delete;
    XsltTransform &operator=(const XsltTransform &) = delete;

    // baseUrl: the stylesheet's own location, against which its relative xsl:include,
    // xsl:import and document() resolve; without one, against the current folder.
    void loadStylesheet(const QString &text, const QString &baseUrl = {});
    // Takes the document's URL as its location.
    void loadStylesheet(const DomDocument &stylesheet);
    bool isLoaded() const { return m_style != nullptr; }
    QString outputMethod() const;   // as in Result::method

    Result transform(const DomDocument &source) const;
    QString transformToString(const DomDocument &source) const;  // bytes decoded by their encoding
    DomDocument transformToDocument(const DomDocument &source) const;

private:
    _xsltStylesheet *m_style = nullptr;
};

} // namespace owb
