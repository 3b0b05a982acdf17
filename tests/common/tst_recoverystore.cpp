#include "common/RecoveryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QtTest>

using owb::RecoveryEntry;
using owb::RecoveryStore;

namespace {

RecoveryEntry entry(const QByteArray &text, const QDateTime &at = QDateTime::currentDateTimeUtc())
{
    RecoveryEntry e;
    e.database = QStringLiteral("http://localhost:8790/ostrel/mydb");
    e.collection = QStringLiteral("Sales");
    e.doctype = QStringLiteral("Order");
    e.editor = QStringLiteral("document");
    e.id = QStringLiteral("2");
    e.shown = QStringLiteral("Order osl:id=2");
    e.baseline = "12:abc";
    e.savedAt = at;
    e.text = text;
    return e;
}

QStringList copiesIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.recovery")}, QDir::Files);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A folder as a process that has ended leaves it: its lock file names a process that is gone.
void leaveBehind(const QString &root, const QString &name, const RecoveryEntry &e)
{
    QDir().mkpath(root + QLatin1Char('/') + name);
    writeFile(root + QLatin1Char('/') + name + QStringLiteral("/text1.recovery"), e.encode());
    // A real lock file's contents, with a process id above the largest the kernel gives.
    QTemporaryDir scratch;
    QLockFile real(scratch.filePath(QStringLiteral("x.lock")));
    real.tryLock(0);
    QFile f(scratch.filePath(QStringLiteral("x.lock")));
    f.open(QIODevice::ReadOnly);
    QByteArray contents = f.readAll();
    real.unlock();
    contents.replace(0, contents.indexOf('\n'), "4194305");
    writeFile(root + QLatin1Char('/') + name + QStringLiteral(".lock"), contents);
}

} // namespace

class tst_RecoveryStore : public QObject {
    Q_OBJECT
private slots:
    void entryRoundTrip_data();
    void entryRoundTrip();
    void garbageIsNoEntry();
    void ownFolderLivesWhileItHoldsCopies();
    void orphansOfEndedProcessesOnly();
};

void tst_RecoveryStore::entryRoundTrip_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("lines and UTF-8") << QString::fromUtf8("<a>\n  Grüße 中\r\n</a>\n\n").toUtf8();
    QTest::newRow("a first line like a head") << QByteArray("{\"database\":\"x\"}\nrest");
}

void tst_RecoveryStore::entryRoundTrip()
{
    QFETCH(QByteArray, text);
    const RecoveryEntry e = entry(text, QDateTime(QDate(2024, 5, 1), QTime(10, 11, 12, 345), Qt::UTC));
    const std::optional<RecoveryEntry> back = RecoveryEntry::decode(e.encode());
    QVERIFY(back);
    QCOMPARE(QStringList({back->database, back->collection, back->doctype, back->editor, back->id, back->shown}),
             QStringList({e.database, e.collection, e.doctype, e.editor, e.id, e.shown}));
    QCOMPARE(back->baseline, e.baseline);
    QCOMPARE(back->savedAt, e.savedAt);
    QCOMPARE(back->text, text);
}

void tst_RecoveryStore::garbageIsNoEntry()
{
    for (const QByteArray &bytes : {QByteArray(), QByteArray("no line break"), QByteArray("[1,2]\ntext"),
                                    QByteArray("{broken\ntext")})
        QVERIFY2(!RecoveryEntry::decode(bytes), bytes.constData());
}

void tst_RecoveryStore::ownFolderLivesWhileItHoldsCopies()
{
    QTemporaryDir root;
    QString kept;
    {
        RecoveryStore store(root.path());
        QVERIFY(!QFileInfo::exists(store.folder()));   // nothing written, nothing made
        const QString a = store.newName(), b = store.newName();
        QVERIFY(a != b);
        store.write(a, entry("first"));
        store.write(a, entry("second"));
        store.write(b, entry("other"));
        store.remove(b);
        store.flush();
        QCOMPARE(copiesIn(store.folder()), QStringList{a + QStringLiteral(".recovery")});
        QFile f(store.folder() + QLatin1Char('/') + a + QStringLiteral(".recovery"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(RecoveryEntry::decode(f.readAll())->text, QByteArray("second"));
        QVERIFY(QFileInfo::exists(store.folder() + QStringLiteral(".lock")));
        kept = store.folder();
    }
    // Left with a copy: kept for the next start, its lock let go.
    QCOMPARE(copiesIn(kept).size(), 1);
    QVERIFY(!QFileInfo::exists(kept + QStringLiteral(".lock")));
    QDir(kept).removeRecursively();

    QString emptied;
    {
        RecoveryStore store(root.path());
        const QString a = store.newName();
        store.write(a, entry("x"));
        store.remove(a);
        emptied = store.folder();
    }
    QVERIFY(!QFileInfo::exists(emptied));
    QVERIFY(!QFileInfo::exists(emptied + QStringLiteral(".lock")));
}

void tst_RecoveryStore::orphansOfEndedProcessesOnly()
{
    QTemporaryDir root;
    RecoveryStore running(root.path());
    running.write(running.newName(), entry("still being typed"));
    running.flush();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    leaveBehind(root.path(), QStringLiteral("4194305-dead"), entry("crashed", now.addSecs(-60)));
    // A folder whose lock file is gone altogether counts as left behind too.
    QDir().mkpath(root.filePath(QStringLiteral("1-nolock")));
    QVERIFY(writeFile(root.filePath(QStringLiteral("1-nolock/text1.recovery")), entry("older", now.addSecs(-120)).encode()));

    RecoveryStore next(root.path());
    const QList<RecoveryEntry> found = next.claimOrphans();
    QStringList texts;
    for (const RecoveryEntry &e : found)
        texts << QString::fromUtf8(e.text);
    QCOMPARE(texts, (QStringList{"older", "crashed"}));   // oldest first, the running one's not among them

    // Claimed: a third process finds nothing while the second decides.
    RecoveryStore third(root.path());
    QVERIFY(third.claimOrphans().isEmpty());

    QVERIFY(RecoveryStore::discard(found.first()));
    next.releaseOrphans();
    QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("1-nolock"))));
    const QList<RecoveryEntry> again = third.claimOrphans();
    QCOMPARE(again.size(), 1);
    QCOMPARE(again.first().text, QByteArray("crashed"));
    QCOMPARE(copiesIn(running.folder()).size(), 1);
}

QTEST_GUILESS_MAIN(tst_RecoveryStore)
#include "tst_recoverystore.moc"
