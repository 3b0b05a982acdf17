#pragma once
// The baseline of the server benchmarks: one curl process sending a list of requests over one
// reused connection, as a config file of "next"-separated requests.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>

#include <cstdio>

namespace owbbench {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QString quoted(const QString &s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

// Runs one curl over the config; returns how many answers had a status of 200, or -1.
inline int runCurl(const QString &config, int expected)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("--config"), config});
    if (!curl.waitForStarted(10000) || !curl.waitForFinished(-1))
        return -1;
    int ok = 0;
    for (const QByteArray &c : curl.readAllStandardOutput().split('\n'))
        ok += c.trimmed() == "200";
    if (ok != expected)
        std::fprintf(stderr, "curl: %d of %d answers with 200; %s\n", ok, expected,
                     curl.readAllStandardError().constData());
    return ok;
}

} // namespace owbbench
