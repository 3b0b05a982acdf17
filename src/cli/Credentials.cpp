#include "cli/Credentials.h"
#include "cli/CommandLine.h"
#include "server/LoginName.h"

#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace owb::cli {

namespace {

termios g_saved{};
volatile std::sig_atomic_t g_echoOff = 0;

// Ctrl+C at the prompt must not leave the terminal without echo.
extern "C" void restoreEchoAndDie(int sig)
{
    if (g_echoOff)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    signal(sig, SIG_DFL);
    raise(sig);
}

QString promptWithoutEcho(const QString &prompt)
{
    if (tcgetattr(STDIN_FILENO, &g_saved) != 0)
        return {};
    termios quiet = g_saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    quiet.c_lflag |= ECHONL;
    struct sigaction sa {}, oldInt{}, oldTerm{};
    sa.sa_handler = restoreEchoAndDie;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &oldInt);
    sigaction(SIGTERM, &sa, &oldTerm);
    // Echo goes off before the prompt shows, so nothing typed after it is ever echoed.
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    g_echoOff = 1;
    const QByteArray text = prompt.toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);

    QByteArray line;
    char c = 0;
    while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        line.append(c);

    tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
    g_echoOff = 0;
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    if (line.endsWith('\r'))
        line.chop(1);
    const QString password = QString::fromLocal8Bit(line);
    line.fill('\0');
    return password;
}

} // namespace

Credentials credentialsFor(const QString &command, const QString &user, const QString &databaseURI)
{
    Credentials c;
    c.user = user.isEmpty() ? LoginName::proposedUserName() : user;
    if (c.user.trimmed().isEmpty())
        throw UsageError(command, QStringLiteral("no user name: give one with --user"));

    // As at the login dialog, a password of blanks is no password.
    c.password = qEnvironmentVariable("OSTREL_PASSWORD");
    if (!c.password.trimmed().isEmpty())
        return c;
    if (!isatty(STDIN_FILENO))
        throw UsageError(command, QStringLiteral("no password: set OSTREL_PASSWORD, or run owb on a terminal "
                                                 "to be asked for it"));
    c.password = promptWithoutEcho(QStringLiteral("Password of %1 for %2: ").arg(c.user, databaseURI));
    if (c.password.trimmed().isEmpty())
        throw UsageError(command, QStringLiteral("no password given"));
    return c;
}

} // namespace owb::cli
