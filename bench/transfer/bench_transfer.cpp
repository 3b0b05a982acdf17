// Import and export of many small documents through the transfer engine against ostreld, each
// beside a baseline run in the same process: one curl process sending the same requests over
// one reused connection.
//
//   bench_transfer [documents]     (default 10000)
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "log/ILogMessage.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "CurlBaseline.h"
#include "support/OstreldProcess.h"
#include "transfer/clsImportAndExport.h"
#include "xml/DocumentList.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>

namespace {

using owbbench::quoted;
using owbbench::runCurl;
using owbbench::writeFile;

class NullLog : public owb::ILogMessage {
public:
    void LogEntry(const QString &) override {}
};

class Ids : public owb::IDocumentList {
public:
    QList<qint32> ids;
    int count() const override { return int(ids.size()); }
    void clear() override { ids.clear(); }
    void addEntry(const QString &, qint32 id) override { ids << id; }
    QString text(int) const override { return {}; }
    qint32 itemData(int index) const override { return ids.at(index); }
    void setItemData(int index, qint32 id) override { ids[index] = id; }
    int currentIndex() const override { return -1; }
    void setCurrentIndex(int) override {}
    void removeAt(int index) override { ids.removeAt(index); }
};

void report(const char *what, int n, double engineS, double curlS)
{
    const double engineRate = n / engineS, curlRate = n / curlS;
    std::printf("%-7s engine %8.1f docs/s (%6.2f s)   curl %8.1f docs/s (%6.2f s)   ratio %.2fx\n", what,
                engineRate, engineS, curlRate, curlS, engineRate / curlRate);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_transfer [documents]\n");
        return 2;
    }
    QTemporaryDir dir;
    const QDir root(dir.path());
    for (const char *sub : {"files", "bodies", "engine", "curl"})
        root.mkpath(QString::fromLatin1(sub));

    const auto server = owbbench::benchServer(root, QStringLiteral(OSTRELD_EXE));
    if (!server->ok())
        return 1;
    const QString collection = server->databaseURI() + QStringLiteral("/Bench");

    owb::FormEncoder encoder;
    QStringList files;
    QString importConfig;
    for (int i = 0; i < n; ++i) {
        const QString text = QStringLiteral("<Item n=\"%1\"><name>Item %1</name><price currency=\"EUR\">1.50</price>"
                                            "<note>M\u00fcller &amp; S\u00f6hne</note></Item>")
                                 .arg(i);
        files << root.filePath(QStringLiteral("files/item_%1.xml").arg(i));
        const QString body = root.filePath(QStringLiteral("bodies/%1").arg(i));
        if (!writeFile(files.last(), text.toUtf8()) || !writeFile(body, "_process=" + encoder.EncodeXml(text)))
            return 1;
        importConfig += QStringLiteral("url = %1\nuser = \"demo:demo\"\n"
                                       "header = \"Content-Type: application/x-www-form-urlencoded; charset=iso-8859-1\"\n"
                                       "data-binary = \"@%2\"\noutput = \"/dev/null\"\nwrite-out = \"%{http_code}\\n\"\n%3")
                            .arg(quoted(collection), body, i + 1 < n ? QStringLiteral("next\n") : QString());
    }
    writeFile(root.filePath("import.curl"), importConfig.toUtf8());

    owb::clsConnection connection;
    connection.AddConString(server->databaseURI(), "demo", "demo");
    connection.setContext(server->databaseURI());
    owb::HttpClient http;
    NullLog log;
    owb::clsImportAndExport engine(connection, encoder, http, log);
    engine.setLog(&log);
    Ids ids;

    try {
        QElapsedTimer t;
        t.start();
        if (runCurl(root.filePath("import.curl"), n) != n)
            return 1;
        const double curlImport = t.nsecsElapsed() / 1e9;
        t.restart();
        engine.ImportXMLFiles(collection, "Item", files, ids);
        const double engineImport = t.nsecsElapsed() / 1e9;
        if (ids.count() != n)
            return 1;

        QString exportConfig;
        for (int i = 0; i < n; ++i) {
            const QString id = QString::number(ids.ids[i]);
            exportConfig += QStringLiteral("url = %1\noutput = \"%2\"\nwrite-out = \"%{http_code}\\n\"\n%3")
                                .arg(quoted(collection + "?_xql=" + QUrl::toPercentEncoding("Item[@osl:id=" + id + "]")),
                                     root.filePath("curl/Item_" + id + ".xml"), i + 1 < n ? QStringLiteral("next\n") : QString());
        }
        writeFile(root.filePath("export.curl"), exportConfig.toUtf8());
        t.restart();
        if (runCurl(root.filePath("export.curl"), n) != n)
            return 1;
        const double curlExport = t.nsecsElapsed() / 1e9;
        t.restart();
        engine.ExportXMLFiles(collection, "Item", root.filePath("engine"), ids, false);
        const double engineExport = t.nsecsElapsed() / 1e9;
        if (QDir(root.filePath("engine")).count() - 2 != uint(n))
            return 1;

        std::printf("%d small documents, ostreld on 127.0.0.1\n", n);
        report("import", n, engineImport, curlImport);
        report("export", n, engineExport, curlExport);
    } catch (const owb::OstrelError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
