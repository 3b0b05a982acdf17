#pragma once
#include "common/Progress.h"
#include "log/ILogMessage.h"

#include <QByteArray>
#include <QString>
#include <cstdio>

namespace owb::cli {

// Standard output takes the data, standard error the messages. A progress line is drawn on
// standard error only when it is a terminal, and messages are written above it.
class Console {
public:
    Console(std::FILE *out, std::FILE *err, bool errIsTerminal);

    void data(const QByteArray &bytes);
    // text + a line break, as UTF-8.
    void dataLine(const QString &text);
    // One line on standard error; line breaks inside become blanks.
    void message(const QString &text);
    // "owb: " + the text, on one line.
    void error(const QString &text);

    bool showsProgress() const { return m_errIsTerminal; }
    void progress(const QString &label);
    void endProgress();

    // Whether everything written to standard output reached it.
    bool finishData();

    // Line breaks (CR LF, CR, LF) and tabs become single blanks, so a text is one line.
    static QString oneLine(const QString &text);

private:
    void clearProgress();
    void drawProgress();

    std::FILE *m_out;
    std::FILE *m_err;
    bool m_errIsTerminal;
    bool m_outFailed = false;
    QString m_progress;
    bool m_progressShown = false;
};

// The log lines of the services, onto standard error.
class ConsoleLog : public ILogMessage {
public:
    explicit ConsoleLog(Console &console) : m_console(console) {}
    void LogEntry(const QString &message) override { m_console.message(message); }

private:
    Console &m_console;
};

// The progress of a transfer as a line on a terminal ("File n of N: name"); a Ctrl+C asks it
// to stop before the next file.
class ConsoleProgress : public Progress {
public:
    explicit ConsoleProgress(Console &console) : m_console(console) {}
    ~ConsoleProgress() override { m_console.endProgress(); }
    void setMaximum(qint64) override {}
    void setValue(qint64) override {}
    void setLabel(const QString &label) override { m_console.progress(label); }
    bool wasCancelled() override;

private:
    Console &m_console;
};

} // namespace owb::cli
