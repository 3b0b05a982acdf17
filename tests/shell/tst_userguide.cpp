// The user guide beside the program: every page it links and every picture it shows is there,
// and every page can be reached from the first one.
#include <QtTest>
#include <QDir>
#include <QRegularExpression>

namespace {

const QString kGuide = QStringLiteral(OWB_DATA_DIR "/documentation");

QString read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Local targets of href and src attributes, without fragments.
QStringList targets(const QString &html, const QString &attribute)
{
    QStringList out;
    const QRegularExpression re(attribute + QStringLiteral("=\"([^\"#]*)[^\"]*\""));
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const QString t = it.next().captured(1);
        if (!t.isEmpty() && !t.contains(QStringLiteral("://")) && !t.startsWith(QStringLiteral("mailto:")))
            out << t;
    }
    return out;
}

} // namespace

class TestUserGuide : public QObject {
    Q_OBJECT
private slots:
    void pages_data();
    void pages();
    void everyPageReachableFromTheIndex();
    void aDoctypeOpensOnASingleClick();
};

void TestUserGuide::pages_data()
{
    QTest::addColumn<QString>("page");
    const QStringList pages = QDir(kGuide).entryList({QStringLiteral("*.htm")}, QDir::Files);
    QVERIFY(pages.contains(QStringLiteral("index.htm")));
    for (const QString &p : pages)
        QTest::newRow(qPrintable(p)) << p;
}

void TestUserGuide::pages()
{
    QFETCH(QString, page);
    const QString html = read(kGuide + u'/' + page);
    QVERIFY(!html.isEmpty());
    QVERIFY2(QRegularExpression(QStringLiteral("<title>[^<]+</title>")).match(html).hasMatch(), "a title");
    QVERIFY2(html.contains(QStringLiteral("<meta charset=\"utf-8\">")), "declares its encoding");
    QStringList missing;
    for (const QString &t : targets(html, QStringLiteral("href")) + targets(html, QStringLiteral("src")))
        if (!QFileInfo::exists(kGuide + u'/' + t))
            missing << t;
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u' ')));
}

void TestUserGuide::everyPageReachableFromTheIndex()
{
    QSet<QString> seen{QStringLiteral("index.htm")};
    QStringList queue{QStringLiteral("index.htm")};
    while (!queue.isEmpty()) {
        const QString page = queue.takeFirst();
        for (const QString &t : targets(read(kGuide + u'/' + page), QStringLiteral("href")))
            if (t.endsWith(QStringLiteral(".htm")) && !seen.contains(t)) {
                seen.insert(t);
                queue << t;
            }
    }
    const QStringList pages = QDir(kGuide).entryList({QStringLiteral("*.htm")}, QDir::Files);
    QStringList orphans;
    for (const QString &p : pages)
        if (!seen.contains(p))
            orphans << p;
    QVERIFY2(orphans.isEmpty(), qPrintable(orphans.join(u' ')));
}

void TestUserGuide::aDoctypeOpensOnASingleClick()
{
    QStringList texts{QStringLiteral(OWB_SOURCE_DIR "/README.md")};
    for (const QString &p : QDir(kGuide).entryList({QStringLiteral("*.htm")}, QDir::Files))
        texts << kGuide + u'/' + p;
    const QRegularExpression doubleClick(
        QStringLiteral("double[- ]?click(ing)?\\s+(on\\s+)?(a|the)\\s+(document\\s+type|doctype)"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList wrong;
    for (const QString &path : texts) {
        const QString text = read(path);
        QVERIFY2(!text.isEmpty(), qPrintable(path));
        if (doubleClick.match(text).hasMatch())
            wrong << QFileInfo(path).fileName();
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u' ')));
}

QTEST_APPLESS_MAIN(TestUserGuide)
#include "tst_userguide.moc"
