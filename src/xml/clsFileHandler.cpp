#include "xml/clsFileHandler.h"
#include "common/OstrelError.h"
#include "xml/XmlEncoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <iconv.h>

namespace owb {

namespace {

[[noreturn]] void fail(const QString &what)
{
    throw OstrelError(OstrelError::Kind::LocalFile, QStringLiteral("clsFileHandler"), what);
}

bool isUtf8Name(const QByteArray &enc)
{
    const QByteArray e = enc.toUpper();
    return e.isEmpty() || e == "UTF-8" || e == "UTF8";
}

int utf8Length(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if ((lead >> 5) == 0x6) return 2;
    if ((lead >> 4) == 0xE) return 3;
    if ((lead >> 3) == 0x1E) return 4;
    return 1;
}

// Characters the target cannot hold become character references, so nothing is lost.
QByteArray encodeTo(const QString &text, const QByteArray &encoding)
{
    iconv_t cd = iconv_open(encoding.constData(), "UTF-8");
    if (cd == iconv_t(-1))
        fail(QStringLiteral("Unknown encoding \"%1\"").arg(QString::fromLatin1(encoding)));
    QByteArray in = text.toUtf8();
    QByteArray out;
    out.resize(in.size() + 16);
    char *inp = in.data();
    size_t inLeft = size_t(in.size());
    size_t used = 0;
    while (inLeft > 0) {
        char *outp = out.data() + used;
        size_t outLeft = size_t(out.size()) - used;
        const size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        used = size_t(out.size()) - outLeft;
        if (rc != size_t(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2 + 16);
        } else if (errno == EILSEQ || errno == EINVAL) {
            const int len = qMin<int>(utf8Length(static_cast<unsigned char>(*inp)), int(inLeft));
            const QString ch = QString::fromUtf8(inp, len);
            const QByteArray ref = "&#" + QByteArray::number(ch.isEmpty() ? 0xFFFD : ch.toUcs4().value(0)) + ';';
            if (size_t(out.size()) - used < size_t(ref.size()))
                out.resize(out.size() * 2 + ref.size());
            memcpy(out.data() + used, ref.constData(), size_t(ref.size()));
            used += size_t(ref.size());
            inp += len;
            inLeft -= size_t(len);
        } else {
            iconv_close(cd);
            fail(QStringLiteral("Cannot encode text as %1").arg(QString::fromLatin1(encoding)));
        }
    }
    // Flush any shift state.
    out.resize(qMax<qsizetype>(out.size(), qsizetype(used) + 16));
    char *outp = out.data() + used;
    size_t outLeft = size_t(out.size()) - used;
    iconv(cd, nullptr, nullptr, &outp, &outLeft);
    used = size_t(out.size()) - outLeft;
    iconv_close(cd);
    out.resize(qsizetype(used));
    return out;
}

// Bytes the source encoding does not define become U+FFFD.
QString decodeFrom(const QByteArray &bytes, const QByteArray &encoding)
{
    QByteArray text;
    for (qsizetype from = 0;;) {
        QByteArray piece;
        qsizetype stop = -1;
        if (!xmlencoding::toUtf8(bytes.mid(from), encoding, &piece, &stop))
            fail(QStringLiteral("Unknown encoding \"%1\"").arg(QString::fromLatin1(encoding)));
        text += piece;
        if (stop < 0)
            return QString::fromUtf8(text);
        text += "\xEF\xBF\xBD";
        from += stop + 1;
    }
}

QByteArray readWhole(const QString &location)
{
    const QFileInfo info(location);
    if (!info.exists()) {
        if (!info.absoluteDir().exists())
            fail(QStringLiteral("Folder does not exist: %1").arg(info.absolutePath()));
        fail(QStringLiteral("File not found: %1").arg(location));
    }
    if (info.isDir())
        fail(QStringLiteral("Cannot read %1: it is a folder").arg(location));
    QFile f(location);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Access denied: cannot read %1 (%2)").arg(location, f.errorString()));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot read %1: %2").arg(location, f.errorString()));
    return bytes;
}

} // namespace

QString clsFileHandler::LoadXmlFile(const QString &location) const
{
    xmlencoding::Decoded d = xmlencoding::decode(readWhole(location));
    if (!d.ok())
        fail(QStringLiteral("%1:%2:%3: %4").arg(location).arg(d.line).arg(d.column).arg(d.reason));
    return std::move(d.text);
}

QByteArray clsFileHandler::EncodeText(const QString &content)
{
    const QByteArray enc = xmlencoding::declared(content.left(512).toUtf8());
    return isUtf8Name(enc) ? content.toUtf8() : encodeTo(content, enc);
}

void clsFileHandler::SaveFile(const QString &content, const QString &location) const
{
    const QFileInfo info(location);
    if (location.isEmpty())
        fail(QStringLiteral("No file name given"));
    if (info.isDir())
        fail(QStringLiteral("Cannot write %1: it is a folder").arg(location));
    if (!info.absoluteDir().exists())
        fail(QStringLiteral("Folder does not exist: %1").arg(info.absolutePath()));

    const QByteArray bytes = EncodeText(content);

    QSaveFile f(location);
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly))
        fail(QStringLiteral("Access denied: cannot write %1 (%2)").arg(location, f.errorString()));
    if (f.write(bytes) != bytes.size() || !f.commit())
        fail(QStringLiteral("Cannot write %1: %2").arg(location, f.errorString()));
}


QString clsFileHandler::LoadFile(const QString &location) const
{
    const QByteArray bytes = readWhole(location);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder dec(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        return dec.decode(bytes.mid(2));
    }
    const QByteArray enc = xmlencoding::declared(bytes);
    if (!isUtf8Name(enc))
        return decodeFrom(bytes, enc);
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError() || !enc.isEmpty())
        return text;
    // Not UTF-8 and nothing declared: a single-byte file from another program.
    return decodeFrom(bytes, "WINDOWS-1252");
}

} // namespace owb
