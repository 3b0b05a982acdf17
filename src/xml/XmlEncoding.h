#pragma once
// The encoding of XML bytes, as a parser finds it: a byte order mark, else the encoding the
// XML declaration names, else UTF-8.
#include <QByteArray>
#include <QString>

namespace owb::xmlencoding {

// The encoding an XML declaration at the very start names; empty when there is none.
QByteArray declared(const QByteArray &head);

// bytes in encoding as UTF-8, up to the first byte that is not valid there: its offset goes
// to *stop (-1 when every byte is). False for an encoding unknown here.
bool toUtf8(const QByteArray &bytes, const QByteArray &encoding, QByteArray *out, qsizetype *stop);

struct Decoded {
    QString text;
    // Where the first byte stands that the encoding does not allow (1-based, column in
    // characters); 0 when all are valid.
    int line = 0;
    int column = 0;
    QString reason;
    bool ok() const { return line == 0; }
};

// The text of the bytes, never with a replacement character: decoding stops at the first
// byte that is not valid in their encoding (or at an encoding that is unknown here).
Decoded decode(const QByteArray &bytes);

} // namespace owb::xmlencoding
