#pragma once
// An engine wired to its own ostreld (demo data, demo:demo) and a scratch folder.
#include "common/HttpClient.h"
#include "server/FormEncoder.h"
#include "xml/MemoryDocumentList.h"
#include "server/clsConnection.h"
#include "support/Fakes.h"
#include "support/OstreldProcess.h"
#include "transfer/clsImportAndExport.h"
#include "xml/DomDocument.h"
#include "common/OstrelError.h"
#include "server/ServerClient.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace owbtest {

using owb::MemoryDocumentList;

struct TransferRig {
    OstreldProcess server;
    owb::clsConnection connection;
    owb::FormEncoder encoder;
    owb::HttpClient http;
    RecordingLog log;
    RecordingLog logWindow;
    QTemporaryDir dir;
    std::unique_ptr<owb::clsImportAndExport> engine;

    TransferRig()
    {
        if (!server.ok())
            return;
        connection.AddConString(server.databaseURI(), QStringLiteral("demo"), QStringLiteral("demo"));
        connection.setContext(server.databaseURI());
        engine = std::make_unique<owb::clsImportAndExport>(connection, encoder, http, logWindow);
        engine->setLog(&log);
    }
    bool ok() const { return engine && dir.isValid(); }

    QString collection(const QString &name) const { return server.databaseURI() + QLatin1Char('/') + name; }

    // Every stored document the query selects, in the server's order.
    void query(const QString &collectionName, const QString &xql, MemoryDocumentList &into)
    {
        owb::ServerClient(http).query(collection(collectionName), xql, into);
    }
    int count(const QString &collectionName, const QString &doctype)
    {
        MemoryDocumentList list;
        query(collectionName, doctype, list);
        return list.count();
    }

    // The stored document, as the server returns it; a null node when there is none.
    owb::DomNode fetch(const QString &collectionName, const QString &doctype, qint32 id)
    {
        try {
            return owb::ServerClient(http).fetch(collection(collectionName), doctype, id);
        } catch (const owb::OstrelError &) {
            return {};
        }
    }

    QString file(const QString &name, const QByteArray &bytes) const
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return {};
        return path;
    }
};

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace owbtest
