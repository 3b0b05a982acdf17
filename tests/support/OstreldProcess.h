#pragma once
// An ostreld process of its own for one test: free port, private database file, users
// demo:demo, seeded from a folder (the demo data unless told otherwise).
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace owbtest {

class OstreldProcess {
public:
    explicit OstreldProcess(const QString &seedDir = qEnvironmentVariable("OSTRELD_DEMO"))
    {
        const QString exe = qEnvironmentVariable("OSTRELD_EXE");
        if (exe.isEmpty()) {
            m_error = QStringLiteral("OSTRELD_EXE is not set");
            return;
        }
        QStringList args{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"),
                         m_dir.filePath(QStringLiteral("db.sqlite")), QStringLiteral("--users"),
                         QStringLiteral("demo:demo")};
        if (!seedDir.isEmpty())
            args << QStringLiteral("--seed") << seedDir;
        m_proc.start(exe, args);
        if (!m_proc.waitForStarted(10000)) {
            m_error = QStringLiteral("ostreld did not start: ") + m_proc.errorString();
            return;
        }
        static const QRegularExpression portLine(QStringLiteral("listening on port (\\d+)"));
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000 && m_proc.state() != QProcess::NotRunning) {
            m_proc.waitForReadyRead(200);
            out += m_proc.readAllStandardOutput();
            const auto m = portLine.match(QString::fromUtf8(out));
            if (m.hasMatch()) {
                m_port = m.captured(1).toInt();
                return;
            }
        }
        m_error = QStringLiteral("ostreld gave no port: ")
                  + QString::fromUtf8(out + m_proc.readAllStandardError());
    }

    ~OstreldProcess()
    {
        if (m_proc.state() == QProcess::NotRunning)
            return;
        m_proc.terminate();
        if (!m_proc.waitForFinished(5000)) {
            m_proc.kill();
            m_proc.waitForFinished(3000);
        }
    }

    OstreldProcess(const OstreldProcess &) = delete;
    OstreldProcess &operator=(const OstreldProcess &) = delete;

    bool ok() const { return m_port > 0; }
    QString error() const { return m_error; }
    int port() const { return m_port; }
    QString databaseURI() const
    {
        return QStringLiteral("http://127.0.0.1:%1/ostrel/mydb").arg(m_port);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
    int m_port = 0;
    QString m_error;
};

} // namespace owbtest
