#include "schema/SchemaSource.h"

#include "common/OstrelError.h"
#include "schema/clsSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace owb {

namespace {

const QString kSource = QStringLiteral("BuildNewDoc");

bool hasScheme(const QString &location)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]+:"));
    return scheme.match(location).hasMatch() && !QFileInfo(location).isAbsolute();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

QString SchemaSource::fileNameOf(const QString &location)
{
    QString path = location;
    const qsizetype cut = path.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (cut >= 0)
        path.truncate(cut);
    return QUrl::fromPercentEncoding(path.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1).toUtf8());
}

SchemaSource::Found LocalSchemaSource::find(const QString &location, const QString &, const QString &base)
{
    if (location.isEmpty())
        throw OstrelError(kSource, QStringLiteral("an import without schemaLocation names no file"));
    QStringList tried;
    if (!hasScheme(location) || location.startsWith(QLatin1String("file:"))) {
        const QString path = location.startsWith(QLatin1String("file:")) ? QUrl(location).toLocalFile()
                             : QFileInfo(location).isAbsolute()
                                 ? location
                                 : QFileInfo(base).absoluteDir().filePath(QUrl::fromPercentEncoding(location.toUtf8()));
        if (QFileInfo(path).isFile())
            return {readFile(path), QFileInfo(path).absoluteFilePath(), fileNameOf(location)};
        tried << path;
    }
    const QString beside = QDir(m_mainFolder).filePath(fileNameOf(location));
    if (QFileInfo(beside).isFile())
        return {readFile(beside), QFileInfo(beside).absoluteFilePath(), fileNameOf(location)};
    tried << beside;
    throw OstrelError(kSource, QStringLiteral("no file %1").arg(tried.join(QStringLiteral(" nor "))));
}

SchemaSource::Found ServerSchemaSource::find(const QString &location, const QString &ns, const QString &)
{
    QString name = fileNameOf(location);
    const QString fileName = name.isEmpty() ? QStringLiteral("import%1.xsd").arg(m_found.size() + 1) : name;
    if (name.contains(QLatin1Char('.')))
        name = name.section(QLatin1Char('.'), 0, -2);
    for (const Stored &s : m_found)
        if (s.fileName == fileName)
            return {s.text.toUtf8(), fileName, fileName};
    clsSchema schemas(m_http);
    const DomNode schema = schemas.FindStoredSchema(m_databaseURI, name, ns);
    if (schema.isNull())
        throw OstrelError(kSource, ns.isNull() ? QStringLiteral("the server stores no schema named %1").arg(name)
                                               : QStringLiteral("the server stores no schema named %1 nor one for "
                                                                "the namespace %2")
                                                     .arg(name, ns));
    const QString text = schema.xml();
    m_found << Stored{fileName, text, ns.isNull()};
    return {text.toUtf8(), fileName, fileName};
}

} // namespace owb
