#include "transfer/ExportWriter.h"

#include "common/OstrelError.h"
#include "xml/DomDocument.h"
#include "xml/Latin1Xml.h"
#include "xml/xmlutil.h"

#include <QSaveFile>

namespace owb::ExportWriter {

namespace {

const QString kSource = QStringLiteral("clsImportAndExport");

} // namespace

QByteArray content(const DomNode &element)
{
    Latin1Xml::Failure failure;
    const std::optional<QByteArray> body =
        Latin1Xml::encode(xmlutil().FormatXML(element), Latin1Xml::CDataMode::AsText, &failure);
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

void write(const QString &path, const DomNode &element)
{
    const QByteArray bytes = content(element);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw OstrelError(kSource, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw OstrelError(kSource, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

} // namespace owb::ExportWriter
