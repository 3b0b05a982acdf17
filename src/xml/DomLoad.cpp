// Loading documents from text, bytes, files and URLs.
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"
#include "xml/ParseGuard.h"

#include <QFile>
#include <QUrl>

namespace owb {

using namespace domdetail;

bool DomDocument::loadXML(const QString &text, const QString &baseUrl)
{
    m_s->url = baseUrl;
    // The text is Unicode already: a declared encoding does not apply to it.
    return parseInto(text.toUtf8(), baseUrl, "UTF-8", 0);
}

bool DomDocument::loadBytes(const QByteArray &bytes, const QString &baseUrl)
{
    m_s->url = baseUrl;
    return parseInto(bytes, baseUrl, nullptr, m_s->envelope);
}

void DomDocument::setEnvelopeLevels(int levels) { m_s->envelope = levels; }

bool DomDocument::load(const QString &fileOrUrl)
{
    const auto fail = [&](const QString &reason, int code) {
        m_s->error = DomParseError();
        m_s->error.reason = reason;
        m_s->error.errorCode = code;
        m_s->error.url = fileOrUrl;
        m_s->url = fileOrUrl;
        return false;
    };
    const QString lower = fileOrUrl.left(8).toLower();
    // Answers of a server are read through its client (server/), never by the document.
    if (lower.startsWith(QLatin1String("http://")) || lower.startsWith(QLatin1String("https://")))
        return fail(QStringLiteral("No HTTP client to fetch %1").arg(fileOrUrl), -1);
    QString path = fileOrUrl;
    if (lower.startsWith(QLatin1String("file:")))
        path = QUrl(fileOrUrl).toLocalFile();
    QFile f(path);
    if (!f.exists())
        return fail(QStringLiteral("File not found: %1").arg(path), -1);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read %1: %2").arg(path, f.errorString()), -1);
    const QByteArray bytes = f.readAll();
    m_s->url = path;
    const bool ok = parseInto(bytes, path, nullptr, 0);
    m_s->url = fileOrUrl;
    m_s->error.url = fileOrUrl;
    return ok;
}

const DomParseError &DomDocument::parseError() const { return m_s->error; }
QString DomDocument::url() const { return m_s->url; }

} // namespace owb
