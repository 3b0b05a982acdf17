// Validating a large document through clsVerify (schema fetch, work files, parse, validation)
// against xmllint validating the same two work files, best of several runs each.
// Usage: OSTRELD_EXE=... bench_validate [megabytes] [runs]
#include "common/HttpClient.h"
#include "schema/clsVerify.h"
#include "support/OstreldProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const QString DataDir = QStringLiteral(OWB_SOURCE_DIR "/tests/schema/data");

QString purchaseOrder(qsizetype bytes)
{
    QFile f(DataDir + QStringLiteral("/instances/po.xml"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    const QString item = QStringLiteral(
        "      <item partNum=\"%1-AA\">\n         <productName>Widget number %2</productName>\n"
        "         <quantity>%3</quantity>\n         <USPrice>%4.95</USPrice>\n"
        "         <comment>Größe M, Farbe grün</comment>\n         <shipDate>1999-05-21</shipDate>\n"
        "      </item>\n");
    QString items;
    for (int i = 0; items.size() < bytes; ++i)
        items += item.arg(100 + i % 900).arg(i).arg(1 + i % 99).arg(i % 500);
    text.replace(QStringLiteral("   </items>"), items + QStringLiteral("   </items>"));
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double megabytes = argc > 1 ? atof(argv[1]) : 10.0;
    const int runs = argc > 2 ? qMax(1, atoi(argv[2])) : 7;
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty()) {
        std::fprintf(stderr, "xmllint is not installed (libxml2-utils)\n");
        return 1;
    }

    QTemporaryDir home, seed;
    qputenv("OSTREL_WORKBENCH_HOME", home.path().toUtf8());
    QDir().mkpath(seed.filePath(QStringLiteral("schemas")));
    QFile::copy(DataDir + QStringLiteral("/schemas/po.xsd"), seed.filePath(QStringLiteral("schemas/po.xsd")));
    owbtest::OstreldProcess server(seed.path());
    if (!server.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }

    const QString text = purchaseOrder(qsizetype(megabytes * 1024 * 1024));
    std::printf("document: %.1f MB, %lld lines\n", double(text.toUtf8().size()) / 1048576.0,
                static_cast<long long>(text.count(QLatin1Char('\n')) + 1));

    const owb::HttpClient http;
    const owb::clsVerify verify(&http);
    const QString folder = owb::clsVerify::workFolder();
    const QStringList args{QStringLiteral("--noout"), QStringLiteral("--schema"),
                           folder + QStringLiteral("/validate.xsd"), folder + QStringLiteral("/validate.xml")};
    // Interleaved, so that both see the same load of a shared machine.
    QElapsedTimer t;
    double ours = 1e300, lint = 1e300;
    for (int i = 0; i < runs; ++i) {
        t.start();
        const auto err = verify.ValidateDocument(text, server.databaseURI(), QStringLiteral("Purchasing"),
                                                 QStringLiteral("purchaseOrder"));
        ours = std::min(ours, double(t.nsecsElapsed()) / 1e6);
        if (err) {
            std::fprintf(stderr, "unexpectedly invalid: line %d: %s\n", err->LineNumber, qPrintable(err->Reason));
            return 1;
        }
        QProcess p;
        t.start();
        p.start(xmllint, args);
        p.waitForFinished(-1);
        lint = std::min(lint, double(t.nsecsElapsed()) / 1e6);
        if (p.exitCode() != 0) {
            std::fprintf(stderr, "xmllint: %s\n", p.readAllStandardError().constData());
            return 1;
        }
    }

    const double ratio = ours / lint;
    std::printf("clsVerify ValidateDocument:  %8.1f ms (best of %d)\n", ours, runs);
    std::printf("xmllint --noout --schema:    %8.1f ms (best of %d)\n", lint, runs);
    std::printf("ratio: %.2fx (target at most 1.5x)%s\n", ratio, ratio <= 1.5 ? "" : "  OVER TARGET");
    return ratio <= 1.5 ? 0 : 1;
}
