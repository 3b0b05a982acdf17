#include "cli/Console.h"
#include "cli/Interrupt.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace owb::cli {

namespace {

int terminalWidth(std::FILE *f)
{
    winsize ws{};
    if (ioctl(fileno(f), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

} // namespace

Console::Console(std::FILE *out, std::FILE *err, bool errIsTerminal)
    : m_out(out), m_err(err), m_errIsTerminal(errIsTerminal)
{
}

void Console::data(const QByteArray &bytes)
{
    // Standard output may be the same terminal: the data must not land on the progress line.
    const bool redraw = m_progressShown;
    clearProgress();
    if (!bytes.isEmpty() && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out) != size_t(bytes.size()))
        m_outFailed = true;
    if (redraw) {
        std::fflush(m_out);
        drawProgress();
    }
}

void Console::dataLine(const QString &text)
{
    data(text.toUtf8() + '\n');
}

QString Console::oneLine(const QString &text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return s.trimmed();
}

void Console::message(const QString &text)
{
    clearProgress();
    // Data written so far comes first when both go to the same place.
    std::fflush(m_out);
    const QByteArray line = oneLine(text).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), m_err);
    std::fflush(m_err);
    drawProgress();
}

void Console::error(const QString &text)
{
    message(QStringLiteral("owb: ") + text);
}

void Console::progress(const QString &label)
{
    if (!m_errIsTerminal)
        return;
    m_progress = oneLine(label);
    clearProgress();
    drawProgress();
}

void Console::endProgress()
{
    clearProgress();
    m_progress.clear();
}

void Console::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_progressShown = false;
}

void Console::drawProgress()
{
    if (!m_errIsTerminal || m_progress.isEmpty())
        return;
    const int width = terminalWidth(m_err) - 1;
    const QString shown = m_progress.size() > width ? m_progress.left(qMax(0, width - 3)) + QStringLiteral("...")
                                                    : m_progress;
    const QByteArray line = shown.toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), m_err);
    std::fflush(m_err);
    m_progressShown = true;
}

bool Console::finishData()
{
    if (std::fflush(m_out) != 0 || std::ferror(m_out))
        m_outFailed = true;
    return !m_outFailed;
}

bool ConsoleProgress::wasCancelled()
{
    return Interrupt::requested();
}

} // namespace owb::cli
