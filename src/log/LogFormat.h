#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace owb::LogFormat {

constexpr int MaxSequence = 9'999'999;
// Entries of a log text are separated by this; no separator follows the last entry.
inline const QString EntrySeparator = QStringLiteral("\r\n");

// "hh:mm:ss " (24-hour clock, trailing blank included).
QString timeStamp(const QDateTime &now);
// "dd MMM yyyy" with the abbreviated month name of the given locale.
QString dateStamp(const QDate &date, const QLocale &locale = QLocale::system());
QString entryLine(const QDateTime &now, const QString &message);
QString startHeader(const QDateTime &now, const QLocale &locale = QLocale::system());
QString newLogHeader(const QDateTime &now, const QLocale &locale = QLocale::system());

// The sequence number after a Clear log: 9,999,999 wraps to 1.
int nextSequence(int current);
// A stored "logseq" value; nullopt when it is not a number in 1..9,999,999.
std::optional<int> parseSequence(const QString &stored);
// "<logDir>/owblog_<seq>.log"
QString proposedFileName(const QString &logDir, int sequence);

// A saved log's bytes: UTF-8, as saved; a file edited elsewhere in a single-byte encoding is
// taken as Latin-1 rather than turned into replacement characters the next save would keep.
QString decodeLogFile(const QByteArray &bytes);

// The widget shows one paragraph per line; CR LF and lone CR become LF there.
QString toDisplay(const QString &logText);

} // namespace owb::LogFormat
