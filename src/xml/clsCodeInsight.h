#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace owb {

class clsFileHandler;

// The stylesheet editor's knowledge of XSL-FO: which attributes each element may carry.
// CodeInsight.dat holds CR LF lines of element "^" attributes joined by "~"; blank lines and
// lines starting with "*" are skipped. The folder FOLanguage also holds the two word lists
// (elements.dat, attributes.dat: names joined by "|") that colour the editor.
class clsCodeInsight {
public:
    // Reads location once. Throws OstrelError when the file cannot be read, when a line has no
    // "^", or when an element name stands on two lines; the description names the file and,
    // for a faulty line, its number.
    explicit clsCodeInsight(const clsFileHandler &files, const QString &location = DefaultLocation());

    // The attribute names of element in file order; nothing when the table has no entry.
    // A name followed by "^" alone gives one empty name.
    std::optional<QStringList> GetAttributes(const QString &element) const;
    qsizetype count() const { return m_table.size(); }

    // The application folder's FOLanguage/<fileName>.
    static QString DataFile(const QString &fileName);
    static QString DefaultLocation() { return DataFile(QStringLiteral("CodeInsight.dat")); }

    // One name per entry, blanks and empty names dropped. Throws OstrelError when the file
    // cannot be read.
    static QStringList ReadWordList(const clsFileHandler &files, const QString &location);

private:
    QHash<QString, QString> m_table;
};

} // namespace owb
