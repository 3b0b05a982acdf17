#include "Fixtures.h"
#include "OstreldHarness.h"

#include <mutex>
#include <set>
#include <thread>

using namespace harness;

namespace {
QString store(httplib::Client &cli, const std::string &coll, const std::string &xml)
{
    auto r = cli.Post(("/ostrel/mydb/" + coll).c_str(), basic(), "_process=" + enc(xml), kForm);
    if (!r || r->status != 200) return {};
    Answer a(r->body);
    return a.returnValue() == "0" ? a.storedId() : QString();
}
QStringList ids(httplib::Client &cli, const std::string &coll, const std::string &xpath)
{
    auto r = cli.Get(("/ostrel/mydb/" + coll + "?_xql=" + enc(xpath)).c_str());
    return r && r->status == 200 ? Answer(r->body).ids() : QStringList{"no answer"};
}
} // namespace

class TstOstreldDurability : public QObject {
    Q_OBJECT

private slots:
    void killedServerKeepsAcknowledgedWrites()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath("kill.sqlite");
        QStringList acknowledged;
        {
            Server s({}, data);
            QVERIFY2(s.ok(), qPrintable(s.error()));
            auto cli = s.client();
            QVERIFY(!store(*cli, "osl:collection", fixtures::salesSchema()).isEmpty());
            for (int i = 0; i < 40; ++i) {
                QString id = store(*cli, "Sales", "<Order><n>" + std::to_string(i) + "</n></Order>");
                QVERIFY(!id.isEmpty());
                acknowledged << id;
            }
            QVERIFY(cli->Put("/ostrel/mydb/Sales/images/x.png", basic(), "PNGDATA", "application/upload")->status < 300);
            s.kill();
        }
        Server again({}, data);
        QVERIFY2(again.ok(), qPrintable(again.error()));
        auto cli = again.client();
        QCOMPARE(ids(*cli, "Sales", "Order"), acknowledged);
        QCOMPARE(ids(*cli, "Sales", "Order[n=39]"), QStringList{acknowledged.last()});
        QCOMPARE(cli->Get("/ostrel/mydb/Sales/images/x.png")->body, "PNGDATA");
        // Ids continue after the restart.
        QCOMPARE(store(*cli, "Sales", "<Order/>").toInt(), acknowledged.last().toInt() + 1);
    }

    void manyClientsLoseAndDoubleNothing()
    {
        Server s;
        QVERIFY2(s.ok(), qPrintable(s.error()));
        {
            auto cli = s.client();
            QVERIFY(!store(*cli, "osl:collection", fixtures::salesSchema()).isEmpty());
        }
        constexpr int threads = 8, perThread = 125;
        std::mutex m;
        std::vector<int> got;
        int failures = 0;
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t) {
            pool.emplace_back([&, t] {
                auto cli = s.client();
                for (int i = 0; i < perThread; ++i) {
                    QString id = store(*cli, "Sales", "<Order><t>" + std::to_string(t) + "</t><i>" + std::to_string(i) + "</i></Order>");
                    // Readers run alongside the writers.
                    if (i % 25 == 0) ids(*cli, "Sales", "Order[t=" + std::to_string(t) + "]");
                    std::lock_guard lock(m);
                    if (id.isEmpty()) ++failures;
                    else got.push_back(id.toInt());
                }
            });
        }
        for (auto &th : pool) th.join();
        QCOMPARE(failures, 0);
        std::set<int> distinct(got.begin(), got.end());
        QCOMPARE(int(distinct.size()), threads * perThread);
        QCOMPARE(*distinct.begin(), 1);
        QCOMPARE(*distinct.rbegin(), threads * perThread);
        auto cli = s.client();
        QCOMPARE(ids(*cli, "Sales", "Order").size(), threads * perThread);
        for (int t = 0; t < threads; ++t)
            QCOMPARE(ids(*cli, "Sales", "Order[t=" + std::to_string(t) + "]").size(), perThread);
    }

    void demoSeedLoadsOnce()
    {
        const QString demo = qEnvironmentVariable("OSTRELD_DEMO");
        QVERIFY2(QDir(demo).exists(), "OSTRELD_DEMO is not set");
        QTemporaryDir dir;
        const QString data = dir.filePath("seed.sqlite");
        QStringList orders, images;
        {
            Server s({"--seed", demo}, data);
            QVERIFY2(s.ok(), qPrintable(s.error()));
            QVERIFY(s.startOutput().contains("seeded mydb"));
            auto cli = s.client();
            Answer info(cli->Get(("/ostrel/mydb/osl:collection?_xql=" + enc("xs:schema/xs:annotation/xs:appinfo/osd:schemaInfo")).c_str())->body);
            QStringList collections = info.values("//osd:schemaInfo/osd:collection/@name");
            QVERIFY(collections.contains("Sales"));
            QVERIFY(collections.contains("Library"));
            orders = ids(*cli, "Sales", "Order");
            images = ids(*cli, "Library", "images");
            QVERIFY(orders.size() >= 50);
            QVERIFY(!images.isEmpty());
            QVERIFY(ids(*cli, "Sales", "*").size() + ids(*cli, "Library", "*").size() >= 200);
            // The demo user may write.
            QVERIFY(cli->Get("/ostrel/mydb?_diagnose=ping", basic("demo", "demo"))->status == 200);
            QVERIFY(ids(*cli, "Library", "Book[@osl:id=1]").size() == 1);
        }
        Server again({"--seed", demo}, data);
        QVERIFY2(again.ok(), qPrintable(again.error()));
        QVERIFY(!again.startOutput().contains("seeded"));
        auto cli = again.client();
        QCOMPARE(ids(*cli, "Sales", "Order"), orders);
        QCOMPARE(ids(*cli, "Library", "images"), images);
    }

    void badSeedStopsTheServer()
    {
        QTemporaryDir seed;
        QDir(seed.path()).mkpath("collections/Nowhere");
        QFile f(seed.filePath("collections/Nowhere/a.xml"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<a/>");
        f.close();
        QProcess p;
        p.start(qEnvironmentVariable("OSTRELD_EXE"),
                {"--port", "0", "--data", seed.filePath("d.sqlite"), "--seed", seed.path()});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(p.readAllStandardError().contains("Nowhere"));
    }
};

QTEST_GUILESS_MAIN(TstOstreldDurability)
#include "tst_ostreld_durability.moc"
