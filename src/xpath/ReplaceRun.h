#pragma once
#include "server/DoctypeRef.h"
#include "xpath/XPathReplace.h"

#include <QList>
#include <QString>
#include <functional>

namespace owb {

class ILogMessage;
class Progress;
class ServerClient;

// What became of one document of a run.
struct DocumentOutcome {
    enum class State {
        NothingFound,   // the expression selects nothing in it: not stored
        Found,          // a dry run: the matches listed, nothing stored
        Replaced,       // changed and stored back
        Restored,       // a before-image stored back
        Failed,         // left as it was on the server; reason says why
    };
    qint32 id = 0;
    QString name;                  // doctype_id, or the before-image's file name
    State state = State::NothingFound;
    QList<ReplaceMatch> matches;   // as found before the change
    QString reason;
};

struct RunSummary {
    int total = 0;       // documents to go through
    int done = 0;        // gone through
    int changed = 0;     // stored (replaced or restored)
    int failed = 0;
    int matches = 0;
    bool cancelled = false;
    QString beforeImages;   // the run's folder; empty without before-images
};

// Find & replace over stored documents: each is fetched, changed, and stored back under its
// own osl:id; one that fails is reported and left as it was, and the run goes on. With
// before-images, the original of each document is written (as an export writes it) before
// its change is stored, so that restore() can store it back. Cancel is asked between
// documents and while a request waits; the document in hand is never stored half-done.
class ReplaceRun {
public:
    ReplaceRun(const ServerClient &server, ILogMessage &log);

    void setProgress(Progress *progress) { m_progress = progress; }
    // Called once per document, as soon as its outcome is known.
    void setOnDocument(std::function<void(const DocumentOutcome &)> onDocument) { m_onDocument = std::move(onDocument); }

    // dryRun: the matches are listed, nothing is written or stored. beforeImages: the run's
    // folder (created when needed); empty for none.
    RunSummary run(const DoctypeRef &doctype, const QList<qint32> &ids, const XPathReplace &replace,
                   bool dryRun, const QString &beforeImages = {});
    // Stores every file of folder that matches pattern to the collection, in name order.
    RunSummary restore(const QString &collectionUri, const QString &folder,
                       const QString &pattern = QStringLiteral("*.xml"));

    // A new folder name below root for one run: its start time, made unique.
    static QString newRunFolder(const QString &root);
    // The folder of the latest run below root holding a file that matches pattern; empty
    // when there is none.
    static QString lastRunFolder(const QString &root, const QString &pattern = QStringLiteral("*.xml"));

private:
    template <typename Step>
    RunSummary each(const QString &what, const QStringList &names, const Step &step);
    DocumentOutcome replaceOne(const DoctypeRef &doctype, qint32 id, const XPathReplace &replace, bool dryRun,
                               const QString &beforeImages);
    // Empty when the server took text; else why not, and *unanswered whether it may have
    // been stored all the same (no answer came).
    QString store(const QString &collectionUri, const QString &text, const QString &activity,
                  bool *unanswered = nullptr) const;
    void finish(RunSummary &summary, const DocumentOutcome &outcome);

    const ServerClient &m_server;
    ILogMessage &m_log;
    Progress *m_progress = nullptr;
    std::function<void(const DocumentOutcome &)> m_onDocument;
};

} // namespace owb
