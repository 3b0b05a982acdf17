// Formatting a document of about 10 MB held on one line: parse (the baseline), then indent.
#include "xml/DomDocument.h"
#include "xml/xmlutil.h"

#include <QElapsedTimer>

#include <cstdio>

using namespace owb;

int main()
{
    QString text = QStringLiteral("<catalog xmlns:p=\"urn:p\">");
    for (int g = 0; g < 1000; ++g) {
        text += QStringLiteral("<group id=\"%1\">").arg(g);
        for (int i = 0; i < 100; ++i)
            text += QStringLiteral("<item no=\"%1\" p:state=\"open\"><name>item</name><note>text with <b>mixed</b> content</note></item>").arg(i);
        text += QStringLiteral("</group>");
    }
    text += QStringLiteral("</catalog>");

    const xmlutil u;
    QElapsedTimer t;
    t.start();
    DomDocument doc;
    if (!doc.loadXML(text))
        return 1;
    const qint64 parsed = t.elapsed();
    const QString once = u.FormatXML(doc);
    const qint64 formatted = t.elapsed();
    const QString twice = u.FormatXML(once);
    const qint64 again = t.elapsed();
    DomDocument reparsed;
    t.restart();
    reparsed.loadXML(once);
    std::printf("reparse of the indented text %lld ms\n", t.elapsed());
    t.restart();
    reparsed = DomDocument();
    std::printf("freeing it %lld ms\n", t.elapsed());
    std::printf("input %.1f MB, output %.1f MB: parse %lld ms, format %lld ms, text-to-text %lld ms, idempotent %s\n",
                text.toUtf8().size() / 1e6, once.toUtf8().size() / 1e6, parsed, formatted - parsed,
                again - formatted, once == twice ? "yes" : "NO");
    // The parse of the same text is the baseline.
    std::printf("ratio format / parse: %.2f\n", double(formatted - parsed) / double(qMax<qint64>(parsed, 1)));
    return once == twice ? 0 : 2;
}
