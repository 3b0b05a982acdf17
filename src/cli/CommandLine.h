#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <exception>

namespace owb::cli {

// A wrong invocation: the tool says what is wrong and where to read more, and exits with 2.
class UsageError : public std::exception {
public:
    UsageError(QString command, QString text) : m_command(std::move(command)), m_text(std::move(text)) {}
    const QString &command() const { return m_command; }   // empty: the tool as a whole
    const QString &text() const { return m_text; }
    const char *what() const noexcept override { return "usage error"; }

private:
    QString m_command;
    QString m_text;
};

struct OptionForm {
    QString name;        // "--raw"
    QString alias;       // "-o", or empty
    QString valueName;   // empty: a flag without value
    QString help;
    bool altOnly = false;   // an option of the command's second form only
};

struct CommandForm {
    QString name;
    QStringList arguments;   // "DBURI", "COLLECTION", "[FILTER]", "FILE..."
    QString summary;         // one line, for the tool's help
    QString details;         // the command's help below its synopsis
    QList<OptionForm> options;
    // A second form of the command: with this option given it takes these arguments instead
    // ("owb new --schema FILE.xsd"), as its synopsis says.
    QString altOption;
    QStringList altArguments;
    QString altSynopsis;

    // Of the form that the given options select.
    int minArguments(bool alt = false) const;
    int maxArguments(bool alt = false) const;   // -1: no limit
    QString synopsis() const;
};

struct Invocation {
    const CommandForm *command = nullptr;   // null: no command given
    QStringList arguments;
    QHash<QString, QString> options;        // by OptionForm::name; flags map to ""
    bool help = false;
    bool version = false;

    bool has(const QString &option) const { return options.contains(option); }
    QString value(const QString &option) const { return options.value(option); }
};

// Options may stand anywhere, before or after the command; "--" ends them. "--name=value"
// and "--name value" both work. "owb help COMMAND" is "owb COMMAND --help".
Invocation parseCommandLine(const QStringList &arguments, const QList<CommandForm> &commands);

QString toolHelp(const QList<CommandForm> &commands);
QString commandHelp(const CommandForm &command);

} // namespace owb::cli
