#pragma once
#include <QByteArray>
#include <QString>

namespace owb {

// Encodes request body values for application/x-www-form-urlencoded with charset iso-8859-1:
// A-Z a-z 0-9 - . _ ~ stay, every other character becomes %XX of its Latin-1 byte.
// Nothing is ever dropped or replaced: a text that cannot be carried fails with OstrelError
// (source "FormEncoder", kind Parse) before anything is sent.
class FormEncoder {
public:
    // The Content-Type of every form body sent to the server (and of the liveness check).
    static constexpr char ContentType[] = "application/x-www-form-urlencoded; charset=iso-8859-1";

    // Any text (an XPath for _delete): every character must lie within ISO-8859-1.
    QByteArray Encode(const QString &text) const;

    // An XML document (for _process): a character outside ISO-8859-1 in character data or in an
    // attribute value goes as a character reference (&#NNNN;), which the server's parser turns
    // back into the same character. In a comment, a processing instruction, a CDATA section, a
    // name or a document type declaration no reference is possible: there it fails.
    QByteArray EncodeXml(const QString &xml) const;
};

} // namespace owb
