#include "LogFormat.h"

#include <QStringDecoder>

namespace owb::LogFormat {

QString timeStamp(const QDateTime &now)
{
    return now.time().toString(QStringLiteral("HH:mm:ss "));
}

QString dateStamp(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, QStringLiteral("dd MMM yyyy"));
}

QString entryLine(const QDateTime &now, const QString &message)
{
    return timeStamp(now) + message;
}

QString startHeader(const QDateTime &now, const QLocale &locale)
{
    return timeStamp(now) + QStringLiteral("Log started on ") + dateStamp(now.date(), locale);
}

QString newLogHeader(const QDateTime &now, const QLocale &locale)
{
    return timeStamp(now) + QStringLiteral("New log started on ") + dateStamp(now.date(), locale);
}

int nextSequence(int current)
{
    // A stored number out of range starts again too; current + 1 must not overflow first.
    return (current < 1 || current >= MaxSequence) ? 1 : current + 1;
}

std::optional<int> parseSequence(const QString &stored)
{
    bool ok = false;
    const int value = stored.trimmed().toInt(&ok, 10);
    if (!ok || value < 1 || value > MaxSequence)
        return std::nullopt;
    return value;
}

QString proposedFileName(const QString &logDir, int sequence)
{
    return logDir + QStringLiteral("/owblog_") + QString::number(sequence) + QStringLiteral(".log");
}

QString toDisplay(const QString &logText)
{
    QString out = logText;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QString decodeLogFile(const QByteArray &bytes)
{
    // Stateless: a sequence cut off at the end is an error, not a character held back.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

} // namespace owb::LogFormat
