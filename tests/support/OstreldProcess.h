#pragma once
// An ostreld process of its own for one test or benchmark: free port, private database file
// (unless one is given), users demo:demo, seeded from a folder (the demo data unless told
// otherwise). The process dies with the thread that started it, so a crashed or timed-out
// test leaves none behind.
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

#include <sys/prctl.h>
#include <unistd.h>

namespace owbtest {

struct OstreldOptions {
    QString seedDir = qEnvironmentVariable("OSTRELD_DEMO");
    QString users = QStringLiteral("demo:demo");
    QStringList extraArgs;
    QString dataFile; // empty: a file in a temporary folder of the process object
    QString executable = qEnvironmentVariable("OSTRELD_EXE");
    // Both given: HTTPS with this certificate and key (see TlsFiles).
    QString tlsCert;
    QString tlsKey;
};

class OstreldProcess {
public:
    explicit OstreldProcess(const QString &seedDir = qEnvironmentVariable("OSTRELD_DEMO"))
        : OstreldProcess(withSeed(seedDir))
    {
    }

    explicit OstreldProcess(OstreldOptions options) : m_options(std::move(options))
    {
        if (m_options.dataFile.isEmpty())
            m_options.dataFile = m_dir.filePath(QStringLiteral("db.sqlite"));
        start();
    }

    ~OstreldProcess() { stop(); }

    OstreldProcess(const OstreldProcess &) = delete;
    OstreldProcess &operator=(const OstreldProcess &) = delete;

    bool ok() const { return m_port > 0; }
    QString error() const { return m_error; }
    int port() const { return m_port; }
    // host: the name the URI gives the server by (it listens on 127.0.0.1).
    QString databaseURI(const QString &host = QStringLiteral("127.0.0.1")) const
    {
        return QStringLiteral("%1://%2:%3/ostrel/mydb").arg(tls() ? "https" : "http", host).arg(m_port);
    }
    bool tls() const { return !m_options.tlsCert.isEmpty(); }
    QString dataFile() const { return m_options.dataFile; }
    // What the server printed before it listened ("seeded ...", the port line).
    QByteArray startOutput() const { return m_startOutput; }
    qint64 pid() const { return m_proc ? m_proc->processId() : 0; }
    bool running() const { return m_proc && m_proc->state() != QProcess::NotRunning; }

    // Stops the process (SIGTERM, then SIGKILL) and starts it again on the same data file;
    // extraArgs replace the ones given at first when not empty.
    bool restart(const QStringList &extraArgs = {})
    {
        stop();
        if (!extraArgs.isEmpty()) m_options.extraArgs = extraArgs;
        return start();
    }

    // SIGKILL: nothing gets a chance to flush, as after a crash.
    void kill()
    {
        if (!running()) return;
        m_proc->kill();
        m_proc->waitForFinished(5000);
    }

    void signal(int sig)
    {
        if (running()) ::kill(pid_t(m_proc->processId()), sig);
    }

    bool waitForExit(int msecs) { return !running() || m_proc->waitForFinished(msecs); }

    void stop()
    {
        if (!running()) return;
        m_proc->terminate();
        if (!m_proc->waitForFinished(5000)) {
            m_proc->kill();
            m_proc->waitForFinished(3000);
        }
    }

private:
    static OstreldOptions withSeed(const QString &seedDir)
    {
        OstreldOptions o;
        o.seedDir = seedDir;
        return o;
    }

    bool start()
    {
        m_port = 0;
        m_error.clear();
        m_startOutput.clear();
        if (m_options.executable.isEmpty()) {
            m_error = QStringLiteral("OSTRELD_EXE is not set");
            return false;
        }
        QStringList args{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"), m_options.dataFile,
                         QStringLiteral("--users"), m_options.users};
        if (!m_options.seedDir.isEmpty())
            args << QStringLiteral("--seed") << m_options.seedDir;
        if (tls())
            args << QStringLiteral("--tls-cert") << m_options.tlsCert << QStringLiteral("--tls-key") << m_options.tlsKey;
        args << m_options.extraArgs;
        m_proc = std::make_unique<QProcess>();
        // Errors go straight to the test's output, so an unread pipe can never stall the server.
        m_proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const pid_t parent = getpid();
        m_proc->setChildProcessModifier([parent] {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(1); // the parent died before the line above
        });
        m_proc->start(m_options.executable, args);
        if (!m_proc->waitForStarted(10000)) {
            m_error = QStringLiteral("ostreld did not start: ") + m_proc->errorString();
            return false;
        }
        static const QRegularExpression portLine(QStringLiteral("listening on port (\\d+)"));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000 && m_proc->state() != QProcess::NotRunning) {
            m_proc->waitForReadyRead(200);
            m_startOutput += m_proc->readAllStandardOutput();
            const auto m = portLine.match(QString::fromUtf8(m_startOutput));
            if (m.hasMatch()) {
                m_port = m.captured(1).toInt();
                return true;
            }
        }
        m_startOutput += m_proc->readAllStandardOutput();
        m_error = QStringLiteral("ostreld gave no port: ") + QString::fromUtf8(m_startOutput);
        return false;
    }

    QTemporaryDir m_dir;
    OstreldOptions m_options;
    std::unique_ptr<QProcess> m_proc;
    int m_port = 0;
    QString m_error;
    QByteArray m_startOutput;
};

} // namespace owbtest
