#include "xml/ExportWriter.h"

#include "common/OstrelError.h"
#include "xml/DomDocument.h"
#include "xml/Latin1Xml.h"
#include "xml/xmlutil.h"

#include <QFile>
#include <QRandomGenerator>

#include <filesystem>

namespace owb::ExportWriter {

namespace {

const QString kSource = QStringLiteral("clsImportAndExport");

QByteArray encoded(const DomNode &element, const QString &text)
{
    Latin1Xml::Failure failure;
    const std::optional<QByteArray> body = Latin1Xml::encode(text, Latin1Xml::CDataMode::AsText, &failure);
    if (!body) {
        const QString what = failure.brokenCharacter
            ? QStringLiteral("a broken character (a lone UTF-16 surrogate)")
            : QStringLiteral("the character %1 in %2 on line %3")
                  .arg(QString::fromUcs4(&failure.character, 1), failure.place)
                  .arg(failure.line);
        throw OstrelError(kSource, QStringLiteral("The document %1 cannot be written in iso-8859-1: "
                                                  "it holds %2, which has no place there")
                                       .arg(element.nodeName(), what));
    }
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n") + *body;
}

} // namespace

QByteArray content(const DomNode &element)
{
    return encoded(element, xmlutil().FormatXML(element));
}

QByteArray exactContent(const DomNode &element)
{
    return encoded(element, element.xml());
}

void write(const QString &path, const DomNode &element, bool exact)
{
    const QByteArray bytes = exact ? exactContent(element) : content(element);
    auto fail = [&path](const QString &why) {
        throw OstrelError(OstrelError::Kind::LocalFile, kSource, QStringLiteral("Cannot write %1: %2").arg(path, why));
    };
    // Written beside the target and renamed over it, so that a failure leaves the old file or
    // none, never half of one. No sync to disk: an export is repeated, not recovered.
    QFile part;
    for (int attempt = 0; !part.isOpen(); ++attempt) {
        part.setFileName(path + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate(), 36)
                         + QStringLiteral(".part"));
        if (!part.open(QIODevice::WriteOnly | QIODevice::NewOnly) && (attempt == 5 || !part.exists()))
            fail(part.errorString());
    }
    const bool written = part.write(bytes) == bytes.size() && part.flush();
    const QString why = part.errorString();
    part.close();
    std::error_code error;
    if (written)
        std::filesystem::rename(QFile::encodeName(part.fileName()).toStdString(),
                                QFile::encodeName(path).toStdString(), error);
    if (!written || error) {
        part.remove();
        fail(written ? QString::fromStdString(error.message()) : why);
    }
}

} // namespace owb::ExportWriter
