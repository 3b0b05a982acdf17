// XPath replace of one value in each of many small documents, with before-images, against
// ostreld; beside a baseline run in the same process: one curl process fetching every
// document over one connection, then one storing every changed document over one connection
// (the changed bodies made beforehand, outside its time).
//
//   bench_replace [documents]     (default 10000)
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "log/ILogMessage.h"
#include "server/FormEncoder.h"
#include "server/ServerClient.h"
#include "server/clsConnection.h"
#include "CurlBaseline.h"
#include "support/OstreldProcess.h"
#include "xpath/ReplaceRun.h"

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

QString item(int i, const QString &price, bool withId)
{
    return QStringLiteral("<Item%1 n=\"%2\"><name>Item %2</name><price currency=\"EUR\">%3</price>"
                          "<note>M\u00fcller &amp; S\u00f6hne</note></Item>")
        .arg(withId ? QStringLiteral(" xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" osl:id=\"%1\"").arg(i + 1)
                    : QString())
        .arg(i)
        .arg(price);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_replace [documents]\n");
        return 2;
    }
    QTemporaryDir dir;
    const QDir root(dir.path());
    for (const char *sub : {"seed/collections/Bench", "bodies", "curl", "images"})
        root.mkpath(QString::fromLatin1(sub));
    for (int i = 0; i < n; ++i)
        if (!writeFile(root.filePath(QStringLiteral("seed/collections/Bench/item_%1.xml").arg(i, 6, 10, QLatin1Char('0'))),
                       item(i, QStringLiteral("1.50"), false).toUtf8()))
            return 1;

    const auto server = owbbench::benchServer(root, QStringLiteral(OSTRELD_EXE));
    if (!server->ok())
        return 1;
    const QString collection = server->databaseURI() + QStringLiteral("/Bench");

    // The baseline's two passes, written out before the clock starts.
    owb::FormEncoder encoder;
    QString fetchConfig, storeConfig;
    QList<qint32> ids;
    for (int i = 0; i < n; ++i) {
        ids << i + 1;
        const QString id = QString::number(i + 1);
        const QString next = i + 1 < n ? QStringLiteral("next\n") : QString();
        fetchConfig += QStringLiteral("url = %1\noutput = \"%2\"\nwrite-out = \"%{http_code}\\n\"\n%3")
                           .arg(quoted(collection + "?_xql=" + QUrl::toPercentEncoding("Item[@osl:id=" + id + "]")),
                                root.filePath("curl/Item_" + id + ".xml"), next);
        const QString body = root.filePath(QStringLiteral("bodies/%1").arg(i));
        if (!writeFile(body, "_process=" + encoder.EncodeXml(item(i, QStringLiteral("3.00"), true))))
            return 1;
        storeConfig += QStringLiteral("url = %1\nuser = \"demo:demo\"\n"
                                      "header = \"Content-Type: application/x-www-form-urlencoded; charset=iso-8859-1\"\n"
                                      "data-binary = \"@%2\"\noutput = \"/dev/null\"\nwrite-out = \"%{http_code}\\n\"\n%3")
                           .arg(quoted(collection), body, next);
    }
    writeFile(root.filePath("fetch.curl"), fetchConfig.toUtf8());
    writeFile(root.filePath("store.curl"), storeConfig.toUtf8());

    owb::clsConnection connection;
    connection.AddConString(server->databaseURI(), "demo", "demo");
    connection.setContext(server->databaseURI());
    owb::HttpClient http;
    const owb::ServerClient client(http, &connection, &encoder);
    NullLog log;
    try {
        QElapsedTimer t;
        t.start();
        if (runCurl(root.filePath("fetch.curl"), n) != n || runCurl(root.filePath("store.curl"), n) != n)
            return 1;
        const double curlS = t.nsecsElapsed() / 1e9;

        const owb::XPathReplace replace({QStringLiteral("//price"), QStringLiteral("2.00"), false, false, {}});
        owb::ReplaceRun run(client, log);
        t.restart();
        const owb::RunSummary summary =
            run.run({server->databaseURI(), QStringLiteral("Bench"), QStringLiteral("Item")}, ids, replace, false,
                    root.filePath("images"));
        const double runS = t.nsecsElapsed() / 1e9;
        if (summary.changed != n || QDir(root.filePath("images")).count() - 2 != uint(n)) {
            std::fprintf(stderr, "replace: %d of %d documents changed, %d failed\n", summary.changed, n, summary.failed);
            return 1;
        }
        const double runRate = n / runS, curlRate = n / curlS;
        std::printf("%d small documents, ostreld on 127.0.0.1\n", n);
        std::printf("replace  run %8.1f docs/s (%6.2f s, before-images)   curl fetch+store %8.1f docs/s (%6.2f s)   "
                    "ratio %.2fx (target >= 0.50x)\n",
                    runRate, runS, curlRate, curlS, runRate / curlRate);
    } catch (const owb::OstrelError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
