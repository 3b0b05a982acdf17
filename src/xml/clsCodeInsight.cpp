#include "xml/clsCodeInsight.h"

#include "common/AppPaths.h"
#include "common/OstrelError.h"
#include "xml/clsFileHandler.h"

namespace owb {

namespace {

QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == QLatin1Char(' ') || s[b] == QLatin1Char('\t')))
        ++b;
    while (e > b && (s[e - 1] == QLatin1Char(' ') || s[e - 1] == QLatin1Char('\t')))
        --e;
    return s.mid(b, e - b);
}

[[noreturn]] void fail(const QString &location, qsizetype line, const QString &what)
{
    throw OstrelError(QStringLiteral("clsCodeInsight"),
                      QStringLiteral("%1, line %2: %3").arg(location).arg(line).arg(what));
}

} // namespace

clsCodeInsight::clsCodeInsight(const clsFileHandler &files, const QString &location)
{
    // Only CR LF ends a line: a file with bare line feeds reads as one line.
    const QStringList lines = files.LoadFile(location).split(QStringLiteral("\r\n"));
    QHash<QString, qsizetype> firstLine;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = trimBlanks(lines[i]);
        if (line.isEmpty() || line.startsWith(QLatin1Char('*')))
            continue;
        const qsizetype caret = line.indexOf(QLatin1Char('^'));
        if (caret < 0)
            fail(location, i + 1, QStringLiteral("no \"^\" in \"%1\"").arg(line));
        const QString name = line.left(caret);
        if (firstLine.contains(name))
            fail(location, i + 1,
                 QStringLiteral("\"%1\" already stands on line %2").arg(name).arg(firstLine.value(name)));
        firstLine.insert(name, i + 1);
        const qsizetype second = line.indexOf(QLatin1Char('^'), caret + 1);
        m_table.insert(name, line.mid(caret + 1, second < 0 ? -1 : second - caret - 1));
    }
}

std::optional<QStringList> clsCodeInsight::GetAttributes(const QString &element) const
{
    const auto it = m_table.constFind(element);
    if (it == m_table.constEnd())
        return std::nullopt;
    return it->split(QLatin1Char('~'));
}

QString clsCodeInsight::DataFile(const QString &fileName)
{
    return AppPaths::dataFile(QStringLiteral("FOLanguage/") + fileName);
}

QStringList clsCodeInsight::ReadWordList(const clsFileHandler &files, const QString &location)
{
    QStringList names;
    QString text = files.LoadFile(location);
    text.replace(QLatin1Char('|'), QLatin1Char('\n'));
    const QStringList pieces = text.split(QLatin1Char('\n'));
    for (const QString &piece : pieces) {
        const QString name = piece.trimmed();
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

} // namespace owb
