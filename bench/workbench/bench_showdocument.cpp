// Showing a large document in the document window: the window's whole path (Query, list,
// fetch, indented text, tree) against ostreld, beside the bare libxml2 parse of the same
// answer bytes in the same process, each with time and peak memory as a multiple of the
// document's size.
// Usage: OSTRELD_EXE=... QT_QPA_PLATFORM=offscreen bench_showdocument [elements [textBytes]]
// Without arguments it runs itself once per size (100,000 and 1,000,000 elements), so that
// every size starts from a fresh process.
#include "workbench/WorkbenchFixture.h"

#include "common/UrlEncoding.h"
#include "workbench/frmOstrelClient.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTreeView>

#include <Qsci/qsciscintilla.h>

#include <libxml/parser.h>

#include <cstdio>
#include <malloc.h>

using namespace wbtest;

namespace {

const char *kBigSchema = R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"
           xmlns:osd="http://namespaces.ostrel.org/ostrel/schema-definition">
  <xs:annotation><xs:appinfo>
    <osd:schemaInfo name="Big"><osd:collection name="Big"/><osd:doctype name="Big"/></osd:schemaInfo>
  </xs:appinfo></xs:annotation>
  <xs:element name="Big"/>
</xs:schema>
)";

// elements in all (root, rows of three), each leaf holding textBytes of text.
QByteArray bigDocument(int elements, int textBytes)
{
    QByteArray doc = "<Big>";
    doc.reserve(qsizetype(elements) * (textBytes + 40));
    const QByteArray text(textBytes, 'x');
    for (int i = 0, made = 1; made + 3 <= elements; ++i, made += 3)
        doc += "<row n=\"" + QByteArray::number(i) + "\"><a>" + text + "</a><b>" + text + "</b></row>";
    doc += "</Big>";
    return doc;
}

// Resident set and its high-water mark, in bytes, from the kernel.
qint64 statusField(const char *name)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}

// From here on the high-water mark counts again from the current resident set.
bool resetPeak()
{
    malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

struct Figure {
    double ms = 0;
    qint64 peakGrowth = 0;   // high-water mark above the resident set at the start
    qint64 peak = 0;         // the process's high-water mark
};

template <typename F>
Figure measure(F &&run)
{
    resetPeak();
    const qint64 before = statusField("VmRSS");
    QElapsedTimer t;
    t.start();
    run();
    Figure f;
    f.ms = double(t.nsecsElapsed()) / 1e6;
    f.peak = statusField("VmHWM");
    f.peakGrowth = f.peak - before;
    return f;
}

int runAll(const QString &self)
{
    int status = 0;
    for (const char *elements : {"100000", "1000000"}) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(self, {QString::fromLatin1(elements)});
        if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            status = 1;
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return runAll(QCoreApplication::applicationFilePath());
    const int elements = atoi(argv[1]);
    const int textBytes = argc > 2 ? atoi(argv[2]) : 140;

    QTemporaryDir seed;
    writeFile(seed.filePath(QStringLiteral("schemas/big.xsd")), kBigSchema);
    qint64 docBytes = 0;
    {
        const QByteArray doc = bigDocument(elements, textBytes);
        docBytes = doc.size();
        writeFile(seed.filePath(QStringLiteral("collections/Big/big.xml")), doc);
    }
    const double mb = double(docBytes) / 1048576.0;
    std::printf("document: %d elements, %.1f MB\n", elements, mb);

    IsolatedHome home;
    Server server(seed.path());
    if (!server.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    Context ctx(server.databaseURI());

    // Baseline: the answer the window fetches, parsed by libxml2 and nothing else.
    Figure bare;
    {
        const QString url = server.databaseURI() + QStringLiteral("/Big?_xql=")
            + QString::fromLatin1(owb::UrlEncoding::encodeQueryValue(QStringLiteral("Big[@osl:id=1]")));
        QByteArray body;
        const Figure fetch = measure([&] { body = ctx.http.get(url).body; });
        if (body.size() < docBytes) {
            std::fprintf(stderr, "the server did not answer with the document\n");
            return 1;
        }
        xmlInitParser();
        xmlDocPtr parsed = nullptr;
        bare = measure([&] {
            parsed = xmlReadMemory(body.constData(), int(body.size()), nullptr, nullptr,
                                   XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_HUGE);
        });
        if (!parsed) {
            std::fprintf(stderr, "the bare parse failed\n");
            return 1;
        }
        xmlFreeDoc(parsed);
        body = QByteArray();
        std::printf("HTTP fetch alone:        %9.1f ms   peak +%7.1f MB = %5.2f x document\n", fetch.ms,
                    fetch.peakGrowth / 1048576.0, double(fetch.peakGrowth) / double(docBytes));
        std::printf("bare libxml2 parse:      %9.1f ms   peak +%7.1f MB = %5.2f x document\n", bare.ms,
                    bare.peakGrowth / 1048576.0, double(bare.peakGrowth) / double(docBytes));
    }

    // The window's own path: Query lists the document and shows it as text and as a tree.
    owb::frmOstrelClient w(ctx.app());
    w.setDoctype(QStringLiteral("Big/Big"));
    w.Init(server.openingURI(QStringLiteral("Big"), QStringLiteral("Big")));
    w.show();
    QCoreApplication::processEvents();
    auto *editor = w.findChild<QsciScintilla *>(QStringLiteral("cmxXMLDoc"));
    auto *tree = w.findChild<QTreeView *>(QStringLiteral("tvDocument"));
    auto *query = w.findChild<QAction *>(QStringLiteral("Query"));
    if (!editor || !tree || !query) {
        std::fprintf(stderr, "the window lacks cmxXMLDoc, tvDocument or Query\n");
        return 1;
    }
    const auto shown = [&] {
        return w.hasCurrentElement() && editor->length() > docBytes / 2 && tree->model()
            && tree->model()->rowCount() == 1;
    };
    const Figure window = measure([&] {
        query->trigger();
        // Also when the request runs off this thread: wait until both views show it.
        QElapsedTimer limit;
        limit.start();
        while (!shown() && limit.elapsed() < 600000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
    });
    if (!shown()) {
        std::fprintf(stderr, "the document was NOT shown\n");
        return 1;
    }

    const double growthX = double(window.peakGrowth) / double(docBytes);
    std::printf("window query to shown:   %9.1f ms   peak +%7.1f MB = %5.2f x document"
                "  (process peak %.2f x)\n",
                window.ms, window.peakGrowth / 1048576.0, growthX, double(window.peak) / double(docBytes));
    std::printf("ratio window / bare:     time %.2f x   peak growth %.2f x\n", window.ms / bare.ms,
                double(window.peakGrowth) / double(bare.peakGrowth));
    const double targetMs = docBytes > 50 * 1048576 ? 5000 : 1000;
    std::printf("targets: time < %.0f ms %s; peak < 8 x document %s\n", targetMs,
                window.ms < targetMs ? "met" : "MISSED", growthX < 8 ? "met" : "MISSED");
    return 0;
}
