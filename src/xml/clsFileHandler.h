#pragma once
#include <QByteArray>
#include <QString>

namespace owb {

// Whole text files. Text is stored as UTF-8 unless an XML declaration at its start names
// another encoding; characters that encoding cannot hold are written as character
// references. Failures throw OstrelError (source "clsFileHandler").
class clsFileHandler {
public:
    // Replaces any existing file; written to a temporary file first, so a failure never
    // leaves a half-written file behind.
    void SaveFile(const QString &content, const QString &location) const;
    QString LoadFile(const QString &location) const;
    // The text of an XML file: decoded by its byte order mark or its declared encoding, else
    // as UTF-8. A byte that is not valid there is refused, never replaced: the error's
    // description reads "location:line:column: reason".
    QString LoadXmlFile(const QString &location) const;
    // The bytes SaveFile writes for content.
    static QByteArray EncodeText(const QString &content);
};

} // namespace owb
