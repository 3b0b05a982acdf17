#include "common/RecoveryStore.h"
#include "common/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QThreadPool>

#include <algorithm>

namespace owb {

namespace {

const QString kSuffix = QStringLiteral(".recovery");
const QString kLockSuffix = QStringLiteral(".lock");

QStringList recoveryFiles(const QString &folder)
{
    QStringList files;
    for (const QString &name : QDir(folder).entryList({QLatin1Char('*') + kSuffix}, QDir::Files, QDir::Name))
        files << folder + QLatin1Char('/') + name;
    return files;
}

std::unique_ptr<QLockFile> lockFor(const QString &folder)
{
    auto lock = std::make_unique<QLockFile>(folder + kLockSuffix);
    // Only a process that has ended lets go of its folder, however long it has been running.
    lock->setStaleLockTime(0);
    return lock;
}

} // namespace

// ---------------------------------------------------------------- one file

// The first line holds what the text is (JSON, without raw line breaks), the rest is the text.
QByteArray RecoveryEntry::encode() const
{
    QJsonObject head;
    head.insert(QStringLiteral("database"), database);
    head.insert(QStringLiteral("collection"), collection);
    head.insert(QStringLiteral("doctype"), doctype);
    head.insert(QStringLiteral("editor"), editor);
    head.insert(QStringLiteral("id"), id);
    head.insert(QStringLiteral("shown"), shown);
    head.insert(QStringLiteral("baseline"), QString::fromLatin1(baseline));
    head.insert(QStringLiteral("savedAt"), savedAt.toUTC().toString(Qt::ISODateWithMs));
    return QJsonDocument(head).toJson(QJsonDocument::Compact) + '\n' + text;
}

std::optional<RecoveryEntry> RecoveryEntry::decode(const QByteArray &bytes)
{
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument head = QJsonDocument::fromJson(bytes.left(end), &error);
    if (error.error != QJsonParseError::NoError || !head.isObject())
        return std::nullopt;
    const QJsonObject o = head.object();
    RecoveryEntry e;
    e.database = o.value(QStringLiteral("database")).toString();
    e.collection = o.value(QStringLiteral("collection")).toString();
    e.doctype = o.value(QStringLiteral("doctype")).toString();
    e.editor = o.value(QStringLiteral("editor")).toString();
    e.id = o.value(QStringLiteral("id")).toString();
    e.shown = o.value(QStringLiteral("shown")).toString();
    e.baseline = o.value(QStringLiteral("baseline")).toString().toLatin1();
    e.savedAt = QDateTime::fromString(o.value(QStringLiteral("savedAt")).toString(), Qt::ISODateWithMs);
    e.text = bytes.mid(end + 1);
    return e;
}

// ---------------------------------------------------------------- this process's copies

QString RecoveryStore::defaultRoot()
{
    return AppPaths::userDataDir() + QStringLiteral("/recovery");
}

RecoveryStore::RecoveryStore(const QString &root)
    : m_root(QDir::cleanPath(root)),
      m_name(QStringLiteral("%1-%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))),
      m_writer(std::make_unique<QThreadPool>()),
      m_home(std::make_unique<QObject>())
{
    // One writer thread: copies land in the order they were asked for.
    m_writer->setMaxThreadCount(1);
    m_writer->setExpiryTimeout(-1);
}

RecoveryStore::~RecoveryStore()
{
    flush();
    releaseOrphans();
    if (!m_ready)
        return;
    if (recoveryFiles(folder()).isEmpty())
        QDir(folder()).removeRecursively();
    m_lock->unlock();
}

QString RecoveryStore::folder() const
{
    return m_root + QLatin1Char('/') + m_name;
}

QString RecoveryStore::newName()
{
    return QStringLiteral("text%1").arg(++m_names);
}

bool RecoveryStore::ensureFolder()
{
    if (m_ready)
        return true;
    if (!QDir().mkpath(m_root)) {
        reportFailure(QStringLiteral("Cannot create the folder ") + m_root);
        return false;
    }
    // The lock comes before the folder: a folder without a held lock is an orphan to others.
    m_lock = lockFor(folder());
    if (!m_lock->tryLock(0) || !QDir().mkpath(folder())) {
        reportFailure(QStringLiteral("Cannot take the folder ") + folder());
        return false;
    }
    m_ready = true;
    return true;
}

void RecoveryStore::write(const QString &name, RecoveryEntry entry)
{
    if (!ensureFolder())
        return;
    const QString path = folder() + QLatin1Char('/') + name + kSuffix;
    m_writer->start([this, path, entry = std::move(entry)] {
        QSaveFile file(path);
        const QByteArray bytes = entry.encode();
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            reportFailure(path + QStringLiteral(": ") + file.errorString());
    });
}

void RecoveryStore::remove(const QString &name)
{
    if (!m_ready)
        return;
    const QString path = folder() + QLatin1Char('/') + name + kSuffix;
    m_writer->start([path] { QFile::remove(path); });
}

void RecoveryStore::flush()
{
    m_writer->waitForDone();
}

void RecoveryStore::setErrorHandler(std::function<void(const QString &)> handler)
{
    m_onError = std::move(handler);
}

void RecoveryStore::reportFailure(const QString &why)
{
    // Once is enough: the next copy would fail the same way a few seconds later.
    if (m_failed.exchange(true) || !m_onError)
        return;
    QMetaObject::invokeMethod(
        m_home.get(),
        [this, why] { m_onError(QStringLiteral("Recovery copies cannot be written: ") + why); },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- what ended processes left

QList<RecoveryEntry> RecoveryStore::claimOrphans()
{
    QList<RecoveryEntry> found;
    const QDir root(m_root);
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString path = root.filePath(name);
        const bool claimed = std::any_of(m_claims.begin(), m_claims.end(),
                                         [&](const Claim &c) { return c.folder == path; });
        if (name == m_name || claimed)
            continue;
        std::unique_ptr<QLockFile> lock = lockFor(path);
        if (!lock->tryLock(0))
            continue;   // its process is still running
        for (const QString &file : recoveryFiles(path)) {
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            if (std::optional<RecoveryEntry> e = RecoveryEntry::decode(f.readAll())) {
                e->file = file;
                found << *e;
            }
        }
        m_claims.push_back({path, std::move(lock)});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const RecoveryEntry &a, const RecoveryEntry &b) { return a.savedAt < b.savedAt; });
    return found;
}

bool RecoveryStore::discard(const RecoveryEntry &entry)
{
    return !entry.file.isEmpty() && QFile::remove(entry.file);
}

void RecoveryStore::releaseOrphans()
{
    for (Claim &c : m_claims) {
        if (recoveryFiles(c.folder).isEmpty())
            QDir(c.folder).removeRecursively();
        c.lock->unlock();
    }
    m_claims.clear();
}

} // namespace owb
