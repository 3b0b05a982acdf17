#include "xml/XmlEncoding.h"

#include <QRegularExpression>

#include <cerrno>
#include <iconv.h>

namespace owb::xmlencoding {

QByteArray declared(const QByteArray &head)
{
    static const QRegularExpression decl(
        QStringLiteral(R"re(^(?:\x{FEFF})?<\?xml\s[^>]*?encoding\s*=\s*["']([A-Za-z][A-Za-z0-9._\-]*)["'])re"));
    const auto m = decl.match(QString::fromLatin1(head.left(512)));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

bool toUtf8(const QByteArray &bytes, const QByteArray &encoding, QByteArray *out, qsizetype *stop)
{
    iconv_t cd = iconv_open("UTF-8", encoding.constData());
    if (cd == iconv_t(-1))
        return false;
    QByteArray in = bytes;
    out->resize(in.size() + in.size() / 2 + 16);
    char *inp = in.data();
    size_t inLeft = size_t(in.size());
    size_t used = 0;
    *stop = -1;
    while (inLeft > 0) {
        char *outp = out->data() + used;
        size_t outLeft = size_t(out->size()) - used;
        const size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        used = size_t(out->size()) - outLeft;
        if (rc != size_t(-1))
            break;
        if (errno != E2BIG) {
            // An invalid sequence, or one cut off by the end.
            *stop = inp - in.data();
            break;
        }
        out->resize(out->size() * 2 + 16);
    }
    iconv_close(cd);
    out->resize(qsizetype(used));
    return true;
}

Decoded decode(const QByteArray &bytes)
{
    QByteArray encoding = declared(bytes);
    qsizetype skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        encoding = "UTF-8";
        skip = 3;
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        encoding = bytes.startsWith("\xFF\xFE") ? "UTF-16LE" : "UTF-16BE";
        skip = 2;
    } else if (encoding.isEmpty()) {
        encoding = "UTF-8";
    }
    Decoded d;
    QByteArray utf8;
    qsizetype stop = -1;
    if (!toUtf8(bytes.mid(skip), encoding, &utf8, &stop)) {
        d.line = d.column = 1;
        d.reason = QStringLiteral("Unknown encoding \"%1\"").arg(QString::fromLatin1(encoding));
        return d;
    }
    d.text = QString::fromUtf8(utf8);
    if (stop < 0)
        return d;
    d.line = int(utf8.count('\n')) + 1;
    d.column = int(QString::fromUtf8(utf8.mid(utf8.lastIndexOf('\n') + 1)).toUcs4().size()) + 1;
    const auto bad = static_cast<unsigned char>(bytes.at(skip + stop));
    d.reason = QStringLiteral("Byte 0x%1 is not valid in the encoding %2")
                   .arg(QString::number(bad, 16).toUpper().rightJustified(2, QLatin1Char('0')),
                        QString::fromLatin1(encoding));
    return d;
}

} // namespace owb::xmlencoding
