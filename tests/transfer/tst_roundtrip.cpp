#include <QtTest>

#include "transfer/TransferRig.h"

using namespace owb;
using owb::MemoryDocumentList;
using owbtest::TransferRig;

// Export every document of each demo doctype without ids, import the files into the emptied
// doctype, export again: the two exports are the same, byte for byte.
class TestRoundTrip : public QObject {
    Q_OBJECT
private slots:
    void everyDemoDoctype();
};

void TestRoundTrip::everyDemoDoctype()
{
    TransferRig r;
    QVERIFY2(r.ok(), qPrintable(r.server.error()));
    const QList<QPair<QString, QString>> doctypes{
        {"Sales", "Order"}, {"Sales", "Customer"}, {"Sales", "Invoice"}, {"Library", "Book"}, {"Library", "Author"}};
    for (const auto &[collection, doctype] : doctypes) {
        MemoryDocumentList before;
        r.query(collection, doctype, before);
        QVERIFY(before.count() > 0);
        QTemporaryDir first, second;
        r.engine->ExportXMLFiles(r.collection(collection), doctype, first.path(), before, true);

        HttpRequest wipe;
        wipe.method = "POST";
        wipe.url = r.collection(collection);
        wipe.headers.append({QByteArray("Content-Type"), QByteArray(FormEncoder::ContentType)});
        wipe.body = "_delete=" + r.encoder.Encode(doctype);
        wipe.authenticate = true;
        wipe.user = wipe.password = "demo";
        QCOMPARE(r.http.send(wipe).status, 200);
        QCOMPARE(r.count(collection, doctype), 0);

        QStringList files;
        for (int i = 0; i < before.count(); ++i)
            files << first.filePath(QStringLiteral("%1_%2.xml").arg(doctype).arg(before.itemData(i)));
        MemoryDocumentList after;
        r.engine->ImportXMLFiles(r.collection(collection), doctype, files, after);
        QCOMPARE(after.count(), before.count());
        r.engine->ExportXMLFiles(r.collection(collection), doctype, second.path(), after, true);
        for (int i = 0; i < before.count(); ++i) {
            const QByteArray a = owbtest::readAll(files[i]);
            const QByteArray b = owbtest::readAll(second.filePath(QStringLiteral("%1_%2.xml").arg(doctype).arg(after.itemData(i))));
            QVERIFY(!a.isEmpty());
            QVERIFY2(a == b, qPrintable(files[i] + "\n" + a + "\n---\n" + b));
        }
    }
}

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
