// Showing a large document in the document window: fetch, format, fill the editor, build the
// tree, each step timed on its own and then the window's whole path (query + show).
// Usage: OSTRELD_EXE=... QT_QPA_PLATFORM=offscreen bench_showdocument [elements] [textBytes]
#include "workbench/WorkbenchFixture.h"

#include "server/clsOstrelAccess.h"
#include "workbench/frmOstrelClient.h"
#include "xml/TreeWidgetAdapter.h"
#include "xml/buildTV.h"
#include "xml/xmlutil.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QTreeWidget>

#include <Qsci/qscilexerxml.h>
#include <Qsci/qsciscintilla.h>

#include <cstdio>

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

double ms(QElapsedTimer &t)
{
    const double v = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    return v;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int elements = argc > 1 ? atoi(argv[1]) : 100000;
    const int textBytes = argc > 2 ? atoi(argv[2]) : 140;

    QTemporaryDir seed;
    writeFile(seed.filePath(QStringLiteral("schemas/big.xsd")), kBigSchema);
    const QByteArray doc = bigDocument(elements, textBytes);
    writeFile(seed.filePath(QStringLiteral("collections/Big/big.xml")), doc);
    std::printf("document: %d elements, %.1f MB\n", elements, doc.size() / 1048576.0);

    IsolatedHome home;
    QElapsedTimer t;
    t.start();
    Server server(seed.path());
    if (!server.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    std::printf("server start + seed:   %8.1f ms\n", ms(t));
    Context ctx(server.databaseURI());
    const QString collection = server.databaseURI() + QStringLiteral("/Big");

    owb::clsOstrelAccess access(ctx.connection, ctx.encoder, ctx.http);
    t.restart();
    owb::DomNode element = access.getDocument(collection, QStringLiteral("Big"), 1);
    const double fetch = ms(t);
    if (element.isNull()) {
        std::fprintf(stderr, "document not found\n");
        return 1;
    }
    owb::xmlutil formatter;
    const QString text = formatter.FormatXML(element);
    const double format = ms(t);
    QsciScintilla editor;
    auto *lexer = new QsciLexerXML(&editor);
    editor.setLexer(lexer);
    editor.setUtf8(true);
    t.restart();
    editor.setText(text);
    const double fill = ms(t);
    QTreeWidget tree;
    owb::TreeWidgetAdapter adapter(&tree);
    owb::buildTV builder;
    t.restart();
    builder.BuildTree(adapter, element);
    const double build = ms(t);
    int nodes = 0;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        ++nodes;

    std::printf("fetch (HTTP + DOM):    %8.1f ms\n", fetch);
    std::printf("format:                %8.1f ms  (%.1f MB of text)\n", format, text.toUtf8().size() / 1048576.0);
    std::printf("fill editor:           %8.1f ms\n", fill);
    std::printf("build tree:            %8.1f ms  (%d nodes)%s\n", build, nodes,
                build < 2000 ? "" : "  OVER 2 s");

    // The window's own path: the query lists the document and shows it.
    owb::frmOstrelClient w(ctx.app());
    w.setDoctype(QStringLiteral("Big/Big"));
    w.Init(server.openingURI(QStringLiteral("Big"), QStringLiteral("Big")));
    t.restart();
    w.findChild<QAction *>(QStringLiteral("Query"))->trigger();
    const double window = ms(t);
    const bool shown = w.hasCurrentElement()
                       && w.findChild<QTreeWidget *>(QStringLiteral("tvDocument"))->topLevelItemCount() == 1;
    std::printf("window query + show:   %8.1f ms%s\n", window, shown ? "" : "  (NOT SHOWN)");
    return shown && build < 2000 ? 0 : 1;
}
