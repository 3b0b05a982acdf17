#include <QtTest>

#include "Envelope.h"
#include "Options.h"
#include "Text.h"

using namespace ostreld;

class TstOstreldText : public QObject {
    Q_OBJECT

private slots:
    void formDecoding_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("plus is a blank") << QByteArray("_xql=a+b") << QByteArray("a b");
        QTest::newRow("encoded plus") << QByteArray("_xql=a%2Bb") << QByteArray("a+b");
        QTest::newRow("lower-case hex") << QByteArray("_xql=%3c%3E") << QByteArray("<>");
        QTest::newRow("broken escape kept") << QByteArray("_xql=100%") << QByteArray("100%");
        QTest::newRow("bad hex kept") << QByteArray("_xql=%zz") << QByteArray("%zz");
        QTest::newRow("second pair") << QByteArray("x=1&_xql=v&y") << QByteArray("v");
        QTest::newRow("empty value") << QByteArray("_xql=") << QByteArray("");
        QTest::newRow("byte") << QByteArray("_xql=%E9") << QByteArray("\xE9");
    }
    void formDecoding()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, value);
        auto form = text::parseForm(body.toStdString());
        auto it = std::find_if(form.begin(), form.end(), [](auto &p) { return p.first == "_xql"; });
        QVERIFY(it != form.end());
        QCOMPARE(QByteArray::fromStdString(it->second), value);
    }

    void charsets_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("utf8");
        QTest::newRow("latin-1") << QByteArray("application/x-www-form-urlencoded; charset=iso-8859-1") << QByteArray("\xE9\xFC") << true << QByteArray("\xC3\xA9\xC3\xBC");
        QTest::newRow("quoted upper-case") << QByteArray("text/plain; Charset=\"ISO-8859-1\"") << QByteArray("\xE9") << true << QByteArray("\xC3\xA9");
        QTest::newRow("utf-8") << QByteArray("x; charset=UTF-8") << QByteArray("\xE4\xB8\xAD") << true << QByteArray("\xE4\xB8\xAD");
        QTest::newRow("broken utf-8") << QByteArray("x; charset=utf-8") << QByteArray("\xE4\xB8") << false << QByteArray();
        QTest::newRow("overlong utf-8") << QByteArray("x") << QByteArray("\xC0\xAF") << false << QByteArray();
        QTest::newRow("surrogate in utf-8") << QByteArray("x") << QByteArray("\xED\xA0\x80") << false << QByteArray();
        QTest::newRow("cp1252 euro") << QByteArray("x; charset=windows-1252") << QByteArray("\x80") << true << QByteArray("\xE2\x82\xAC");
        QTest::newRow("cp1252 hole") << QByteArray("x; charset=windows-1252") << QByteArray("\x81") << false << QByteArray();
        QTest::newRow("ascii refuses high bytes") << QByteArray("x; charset=us-ascii") << QByteArray("\xE9") << false << QByteArray();
        QTest::newRow("unknown charset") << QByteArray("x; charset=ebcdic") << QByteArray("a") << false << QByteArray();
    }
    void charsets()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QFETCH(QByteArray, utf8);
        auto out = text::toUtf8(bytes.toStdString(), text::charsetOf(contentType.toStdString()));
        QCOMPARE(out.has_value(), valid);
        if (valid) QCOMPARE(QByteArray::fromStdString(*out), utf8);
    }

    void ids_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qlonglong>("id"); // 0: refused
        QTest::newRow("one") << "1" << 1LL;
        QTest::newRow("largest") << "2147483647" << 2147483647LL;
        QTest::newRow("beyond 32 bits") << "2147483648" << 0LL;
        QTest::newRow("zero") << "0" << 0LL;
        QTest::newRow("negative") << "-3" << 0LL;
        QTest::newRow("blank") << " 3" << 0LL;
        QTest::newRow("empty") << "" << 0LL;
    }
    void ids()
    {
        QFETCH(QString, text);
        QFETCH(qlonglong, id);
        auto got = text::parseId(text.toStdString());
        QCOMPARE(got.value_or(0), id);
    }

    // What answers echo must stay XML text, whatever bytes the client sent.
    void escapes_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("markup") << QByteArray("a<b>&\"c\"") << QByteArray("a&lt;b&gt;&amp;&quot;c&quot;");
        QTest::newRow("utf-8 kept") << QByteArray("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80") << QByteArray("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
        QTest::newRow("control character") << QByteArray("a\x01" "b") << QByteArray("a\xEF\xBF\xBD" "b");
        QTest::newRow("latin-1 byte in a path") << QByteArray("/ostrel/m\x9C" "db") << QByteArray("/ostrel/m\xEF\xBF\xBD" "db");
        QTest::newRow("cut sequence at the end") << QByteArray("a\xE4\xB8") << QByteArray("a\xEF\xBF\xBD\xEF\xBF\xBD");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
        QTest::newRow("non-character") << QByteArray("\xEF\xBF\xBF") << QByteArray("\xEF\xBF\xBD");
    }

    void escapes()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QCOMPARE(QByteArray::fromStdString(text::escapeXml(in.toStdString())), out);
    }

    void resultTextDropsEnvelopeDeclarations_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("inResult");
        const QString osl = "xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\"";
        QTest::newRow("osl on the root") << "<a " + osl + " osl:id=\"1\"><b/></a>" << "<a osl:id=\"1\"><b/></a>";
        QTest::newRow("other declarations stay") << "<a xmlns:x=\"urn:x\" " + osl + " osl:id=\"1\"/>" << "<a xmlns:x=\"urn:x\" osl:id=\"1\"/>";
        QTest::newRow("osl bound elsewhere stays") << "<a xmlns:osl=\"urn:other\" xmlns:osl1=\"http://namespaces.ostrel.org/ostrel/response2\" osl1:id=\"1\"/>"
                                                  << "<a xmlns:osl=\"urn:other\" xmlns:osl1=\"http://namespaces.ostrel.org/ostrel/response2\" osl1:id=\"1\"/>";
        QTest::newRow("only the root start tag") << "<a osl:id=\"1\" " + osl + "><b " + osl + "/></a>" << "<a osl:id=\"1\"><b " + osl + "/></a>";
    }
    void resultTextDropsEnvelopeDeclarations()
    {
        QFETCH(QString, stored);
        QFETCH(QString, inResult);
        QCOMPARE(QString::fromStdString(envelope::inResult(stored.toStdString())), inResult);
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("port");
        QTest::addColumn<QStringList>("dbs");
        QTest::newRow("defaults") << QStringList{} << true << 8790 << QStringList{"mydb"};
        QTest::newRow("two databases") << QStringList{"--db", "a", "--db", "b", "--port", "0"} << true << 0 << QStringList{"a", "b"};
        QTest::newRow("port out of range") << QStringList{"--port", "70000"} << false << 0 << QStringList{};
        QTest::newRow("missing value") << QStringList{"--db"} << false << 0 << QStringList{};
        QTest::newRow("unknown option") << QStringList{"--colour", "red"} << false << 0 << QStringList{};
        QTest::newRow("user without password separator") << QStringList{"--users", "demo"} << false << 0 << QStringList{};
        QTest::newRow("database with a slash") << QStringList{"--db", "a/b"} << false << 0 << QStringList{};
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, valid);
        QFETCH(int, port);
        QFETCH(QStringList, dbs);
        std::vector<std::string> a;
        for (auto &s : args) a.push_back(s.toStdString());
        std::string error;
        auto o = parseOptions(a, error);
        QCOMPARE(o.has_value(), valid);
        QCOMPARE(error.empty(), valid);
        if (!valid) return;
        QCOMPARE(o->port, port);
        QStringList got;
        for (auto &d : o->databases) got << QString::fromStdString(d);
        QCOMPARE(got, dbs);
    }

    void limitOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<qint64>("queryMs"); // -1: refused
        QTest::addColumn<qint64>("headerMs");
        QTest::addColumn<uint>("perAddress");
        QTest::newRow("defaults") << QStringList{} << qint64(5000) << qint64(10000) << 32u;
        QTest::newRow("fractions of a second") << QStringList{"--query-limit", "0.25", "--header-timeout", "1.5"}
                                               << qint64(250) << qint64(1500) << 32u;
        QTest::newRow("per address") << QStringList{"--max-connections-per-address", "4"} << qint64(5000) << qint64(10000) << 4u;
        QTest::newRow("zero seconds") << QStringList{"--query-limit", "0"} << qint64(-1) << qint64(0) << 0u;
        QTest::newRow("not a number") << QStringList{"--idle-timeout", "soon"} << qint64(-1) << qint64(0) << 0u;
        QTest::newRow("no connections") << QStringList{"--max-connections", "0"} << qint64(-1) << qint64(0) << 0u;
        QTest::newRow("missing value") << QStringList{"--query-limit"} << qint64(-1) << qint64(0) << 0u;
    }
    void limitOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(qint64, queryMs);
        QFETCH(qint64, headerMs);
        QFETCH(uint, perAddress);
        std::vector<std::string> a;
        for (auto &s : args) a.push_back(s.toStdString());
        std::string error;
        auto o = parseOptions(a, error);
        QCOMPARE(o.has_value(), queryMs >= 0);
        if (!o) {
            QVERIFY(error.find(args.first().toStdString()) != std::string::npos);
            return;
        }
        QCOMPARE(qint64(o->queryLimit.count()), queryMs);
        QCOMPARE(qint64(o->headerTimeout.count()), headerMs);
        QCOMPARE(o->maxPerAddress, perAddress);
    }

    void usersOption()
    {
        std::string error;
        auto o = parseOptions({"--users", "demo:demo,ann:a:b"}, error);
        QVERIFY(o);
        QCOMPARE(o->users.size(), size_t(2));
        QCOMPARE(o->users["demo"], "demo");
        QCOMPARE(o->users["ann"], "a:b");
    }
};

QTEST_GUILESS_MAIN(TstOstreldText)
#include "tst_ostreld_text.moc"
