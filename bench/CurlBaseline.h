#pragma once
// The baseline of the server benchmarks: one curl process sending a list of requests over one
// reused connection, as a config file of "next"-separated requests.
#include "support/OstreldProcess.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include <cstdio>
#include <memory>

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

// ostreld on a free port, seeded from root/seed, where the schema of the collection Bench
// with the doctype Item is written first (documents may be put beside it).
inline std::unique_ptr<owbtest::OstreldProcess> benchServer(const QDir &root, const QString &executable)
{
    root.mkpath(QStringLiteral("seed/schemas"));
    writeFile(root.filePath(QStringLiteral("seed/schemas/bench.xsd")),
              "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
              "xmlns:osd=\"http://namespaces.ostrel.org/ostrel/schema-definition\"><xs:annotation><xs:appinfo>"
              "<osd:schemaInfo><osd:collection name=\"Bench\"/><osd:doctype name=\"Item\"/></osd:schemaInfo>"
              "</xs:appinfo></xs:annotation></xs:schema>");
    owbtest::OstreldOptions options;
    options.seedDir = root.filePath(QStringLiteral("seed"));
    if (options.executable.isEmpty())
        options.executable = executable;
    auto server = std::make_unique<owbtest::OstreldProcess>(options);
    if (!server->ok())
        std::fprintf(stderr, "%s\n", qPrintable(server->error()));
    return server;
}

} // namespace owbbench
