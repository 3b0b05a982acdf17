#pragma once
// Runs the built owb executable as a user would: its own home for data files, work files and
// settings, the password in OSTREL_PASSWORD, standard input not a terminal.
#include "support/TestContext.h"

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

namespace owbtest {

struct OwbResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QString outText() const { return QString::fromUtf8(out); }
    QStringList outLines() const { return outText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    QStringList errLines() const { return QString::fromUtf8(err).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    // For failure messages of the tests.
    QByteArray describe() const
    {
        return "exit " + QByteArray::number(exitCode) + (finished ? "" : " (did not finish)") + "\nstdout: " + out
               + "\nstderr: " + err;
    }
};

class Owb {
public:
    Owb()
    {
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("OSTREL_WORKBENCH_HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/share"));
        env.insert(QStringLiteral("OSTREL_PASSWORD"), QStringLiteral("demo"));
        // As after a login to the demo server in the workbench.
        saveSetting(QStringLiteral("config"), QStringLiteral("userid"), QStringLiteral("demo"));
    }

    static QString executable() { return QStringLiteral(OWB_EXE); }
    QString path(const QString &name) const { return home.path() + QLatin1Char('/') + name; }

    std::unique_ptr<QProcess> start(const QStringList &args) const
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setStandardInputFile(QProcess::nullDevice());
        p->start(executable(), args);
        return p;
    }

    // Bounded: a hang shows as a result that did not finish, never as a stuck test.
    OwbResult run(const QStringList &args, int timeoutMs = 60000) const
    {
        const auto p = start(args);
        return finish(*p, timeoutMs);
    }

    static OwbResult finish(QProcess &p, int timeoutMs = 60000)
    {
        OwbResult r;
        r.finished = p.waitForFinished(timeoutMs);
        if (!r.finished) {
            p.kill();
            p.waitForFinished(5000);
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

    // The settings file the workbench and owb read.
    void saveSetting(const QString &section, const QString &key, const QString &value) const
    {
        QDir().mkpath(path(QStringLiteral("config/OstrelClient")));
        QFile f(path(QStringLiteral("config/OstrelClient/OstrelClient.conf")));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(QStringLiteral("[%1]\n%2=%3\n").arg(section, key, value).toUtf8());
    }

    IsolatedHome home;
    QProcessEnvironment env;
};

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace owbtest
