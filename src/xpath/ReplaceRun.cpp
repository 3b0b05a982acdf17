#include "xpath/ReplaceRun.h"

#include "common/OstrelError.h"
#include "common/Progress.h"
#include "log/ILogMessage.h"
#include "server/ServerClient.h"
#include "xml/DomDocument.h"
#include "xml/ExportWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace owb {

namespace {

using State = DocumentOutcome::State;
using Verdict = WriteAnswer::Verdict;

const QString kSource = QStringLiteral("ReplaceRun");

} // namespace

ReplaceRun::ReplaceRun(const ServerClient &server, ILogMessage &log) : m_server(server), m_log(log) {}

template <typename Step>
RunSummary ReplaceRun::each(const QString &what, const QStringList &names, const Step &step)
{
    RunSummary summary;
    summary.total = int(names.size());
    if (m_progress)
        m_progress->setMaximum(summary.total);
    for (int i = 0; i < summary.total; ++i) {
        if (m_progress) {
            if (m_progress->wasCancelled()) {
                summary.cancelled = true;
                break;
            }
            m_progress->setLabel(QStringLiteral("Document %1 of %2: %3").arg(i + 1).arg(summary.total).arg(names[i]));
        }
        try {
            finish(summary, step(i));
        } catch (const OstrelError &e) {
            if (!e.isCancelled())
                throw;
            summary.cancelled = true;
            break;
        }
        ++summary.done;
        if (m_progress)
            m_progress->setValue(summary.done);
    }
    if (summary.cancelled)
        m_log.LogEntry(QStringLiteral("%1 cancelled after %2 of %3 documents").arg(what).arg(summary.done).arg(summary.total));
    return summary;
}

void ReplaceRun::finish(RunSummary &summary, const DocumentOutcome &outcome)
{
    summary.matches += int(outcome.matches.size());
    switch (outcome.state) {
    case State::Replaced:
    case State::Restored:
        ++summary.changed;
        break;
    case State::Failed:
        ++summary.failed;
        m_log.LogEntry(QStringLiteral("Document %1 left as it was: %2").arg(outcome.name, outcome.reason));
        break;
    default:
        break;
    }
    if (outcome.state == State::Replaced)
        m_log.LogEntry(QStringLiteral("Document %1: %2 replaced").arg(outcome.name).arg(outcome.matches.size()));
    else if (outcome.state == State::Found)
        m_log.LogEntry(QStringLiteral("Document %1: %2 found").arg(outcome.name).arg(outcome.matches.size()));
    else if (outcome.state == State::Restored)
        m_log.LogEntry(QStringLiteral("Document %1 restored").arg(outcome.name));
    if (m_onDocument)
        m_onDocument(outcome);
}

RunSummary ReplaceRun::run(const DoctypeRef &doctype, const QList<qint32> &ids, const XPathReplace &replace,
                           bool dryRun, const QString &beforeImages)
{
    QStringList names;
    for (qint32 id : ids)
        names << doctype.doctype + u'_' + QString::number(id);
    const bool images = !dryRun && !beforeImages.isEmpty();
    if (images && !QDir().mkpath(beforeImages))
        throw OstrelError(OstrelError::Kind::LocalFile, kSource,
                          QStringLiteral("Cannot create the folder %1 for the before-images").arg(beforeImages));
    m_log.LogEntry(QStringLiteral("%1 %2 in %3 documents of %4%5")
                       .arg(dryRun ? QStringLiteral("Find") : QStringLiteral("Replace"), replace.request().xpath)
                       .arg(ids.size())
                       .arg(doctype.doctype,
                            images ? QStringLiteral(", before-images in ") + beforeImages : QString()));
    RunSummary summary = each(QStringLiteral("Replace"), names, [&](int i) {
        return replaceOne(doctype, ids[i], replace, dryRun, images ? beforeImages : QString());
    });
    summary.beforeImages = images ? beforeImages : QString();
    m_log.LogEntry(dryRun ? QStringLiteral("Find done: %1 matches in %2 documents").arg(summary.matches).arg(summary.done)
                          : QStringLiteral("Replace done: %1 of %2 documents changed, %3 failed")
                                .arg(summary.changed)
                                .arg(summary.total)
                                .arg(summary.failed));
    return summary;
}

DocumentOutcome ReplaceRun::replaceOne(const DoctypeRef &doctype, qint32 id, const XPathReplace &replace,
                                       bool dryRun, const QString &beforeImages)
{
    DocumentOutcome outcome;
    outcome.id = id;
    outcome.name = doctype.doctype + u'_' + QString::number(id);
    DomNode root;
    QString image;
    // A document left as it was keeps no before-image: restore touches changed ones only.
    const auto failed = [&outcome, &image](const QString &why, bool mayBeStored = false) {
        if (!image.isEmpty() && !mayBeStored)
            QFile::remove(image);
        outcome.state = State::Failed;
        outcome.reason = why;
        return outcome;
    };
    try {
        // Blanks between elements are kept: what is stored back differs in the matches only.
        root = m_server.fetch(doctype.collectionUri(), doctype.doctype, id,
                              {QStringLiteral("Fetching document ") + outcome.name, m_progress, true});
        if (!root)
            return failed(QStringLiteral("it is no longer stored"));
        outcome.matches = replace.find(root);
        if (outcome.matches.isEmpty())
            return outcome;
        if (dryRun) {
            outcome.state = State::Found;
            return outcome;
        }
        // The original goes to disk before anything of the change can reach the server.
        if (!beforeImages.isEmpty()) {
            ExportWriter::write(QDir(beforeImages).filePath(outcome.name + QStringLiteral(".xml")), root, true);
            image = QDir(beforeImages).filePath(outcome.name + QStringLiteral(".xml"));
        }
        replace.apply(root);
    } catch (const OstrelError &e) {
        if (e.isCancelled())
            throw;
        return failed(e.serverReason().isEmpty() ? e.description() : e.serverReason());
    }
    bool unanswered = false;
    const QString refused =
        store(doctype.collectionUri(), root.xml(), QStringLiteral("Storing document ") + outcome.name, &unanswered);
    if (!refused.isEmpty())
        return failed(refused, unanswered);
    outcome.state = State::Replaced;
    return outcome;
}

QString ReplaceRun::store(const QString &collectionUri, const QString &text, const QString &activity,
                          bool *unanswered) const
{
    WriteAnswer written;
    try {
        written = m_server.store(collectionUri, text, {activity, m_progress});
    } catch (const OstrelError &e) {
        if (e.isCancelled())
            throw;
        // Text the form cannot carry never left; without an answer it may have been stored.
        if (unanswered)
            *unanswered = e.kind() != OstrelError::Kind::Parse;
        return e.description();
    }
    switch (written.judge(200, true)) {
    case Verdict::Accepted:
        return {};
    case Verdict::HttpStatus:
        return QStringLiteral("HTTP %1 %2").arg(written.status).arg(written.statusText).trimmed()
            + (written.failure() ? QStringLiteral(", ") + written.failure()->describe() : QString());
    case Verdict::NotXml:
        return QStringLiteral("the server's answer is not XML: ") + written.answer.parseError().reason;
    case Verdict::ServerFailure:
        return QStringLiteral("the server refused it: ") + written.refusal();
    default:
        return QStringLiteral("the server's answer names no stored document");
    }
}

RunSummary ReplaceRun::restore(const QString &collectionUri, const QString &folder, const QString &pattern)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        throw OstrelError(OstrelError::Kind::LocalFile, kSource,
                          QStringLiteral("There are no before-images in %1").arg(folder));
    const QStringList files = dir.entryList({pattern}, QDir::Files, QDir::Name);
    m_log.LogEntry(QStringLiteral("Restore %1 documents from %2").arg(files.size()).arg(folder));
    RunSummary summary = each(QStringLiteral("Restore"), files, [&](int i) {
        DocumentOutcome outcome;
        outcome.name = QFileInfo(files[i]).completeBaseName();
        DomDocument doc = NewDOMDocument(false, true);
        doc.setPreserveWhiteSpace(true);
        if (!doc.load(dir.filePath(files[i]))) {
            outcome.state = State::Failed;
            outcome.reason = doc.parseError().reason;
            return outcome;
        }
        outcome.id = doc.documentElement().getAttribute(QStringLiteral("osl:id")).toInt();
        // Without its id the server would add a second document instead of restoring one.
        const QString refused = outcome.id <= 0
            ? QStringLiteral("the file names no osl:id")
            : store(collectionUri, doc.documentElement().xml(), QStringLiteral("Restoring ") + outcome.name);
        outcome.state = refused.isEmpty() ? State::Restored : State::Failed;
        outcome.reason = refused;
        return outcome;
    });
    m_log.LogEntry(QStringLiteral("%1 documents restored, %2 failed").arg(summary.changed).arg(summary.failed));
    return summary;
}

QString ReplaceRun::newRunFolder(const QString &root)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stamp;
    for (int n = 2; QFileInfo::exists(QDir(root).filePath(name)); ++n)
        name = stamp + u'-' + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
    return QDir(root).filePath(name);
}

QString ReplaceRun::lastRunFolder(const QString &root, const QString &pattern)
{
    // Names are start times, a same-second run's name its padded number after: the latest
    // sorts last.
    const QFileInfoList runs = QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QFileInfo &run : runs)
        if (!QDir(run.filePath()).entryList({pattern}, QDir::Files).isEmpty())
            return run.filePath();
    return {};
}

} // namespace owb
