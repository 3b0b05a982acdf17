#pragma once
#include <QByteArray>
#include <QString>

#include <optional>

namespace owb::Latin1Xml {

// What to do with a CDATA section holding a character outside ISO-8859-1.
enum class CDataMode {
    Fail,     // no reference is possible inside it
    AsText,   // write its content as escaped character data instead (the text stays the same)
};

struct Failure {
    bool brokenCharacter = false;   // a lone UTF-16 surrogate at position (0-based)
    qsizetype position = 0;
    char32_t character = 0;         // else: this character could not be written in place
    QString place;                  // "a comment", "a CDATA section", "an element or attribute name", ...
    int line = 1;
};

// XML text as ISO-8859-1 bytes. A character outside it in character data or in an attribute
// value becomes a character reference (&#NNNN;), which any parser turns back into the same
// character. Where no reference is possible (a name, comment, processing instruction, document
// type declaration, or a CDATA section in Fail mode) there is no result and failure says why.
std::optional<QByteArray> encode(const QString &xml, CDataMode mode, Failure *failure = nullptr);

} // namespace owb::Latin1Xml
