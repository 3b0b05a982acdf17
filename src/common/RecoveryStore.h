#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;
class QObject;
class QThreadPool;

namespace owb {

// One text kept against a crash: whose window it belongs to and what that window showed.
struct RecoveryEntry {
    QString database;
    QString collection;
    QString doctype;
    QString editor;        // "document" or "stylesheet"
    QString id;            // osl:id of the document shown; empty when it has none
    QString shown;         // what the window showed, as its questions name it
    QByteArray baseline;   // fingerprint of the text as last shown, stored or saved
    QDateTime savedAt;     // UTC
    QByteArray text;       // UTF-8
    QString file;          // where it lies; set when read back

    QByteArray encode() const;
    // std::nullopt for bytes that are no recovery file.
    static std::optional<RecoveryEntry> decode(const QByteArray &bytes);
};

// Recovery copies of unsaved texts. Each running process writes into a folder of its own
// below root, held by a lock file beside it (root/NAME.lock for root/NAME); a folder whose
// lock no living process holds is what an ended process left behind. Two running processes
// therefore never take each other's copies.
class RecoveryStore {
public:
    // The per-user data folder + "/recovery".
    static QString defaultRoot();

    explicit RecoveryStore(const QString &root);
    // Waits for the writes; this process's folder goes when no copy is left in it, else it
    // stays for the next start. Claimed folders are released.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore &) = delete;
    RecoveryStore &operator=(const RecoveryStore &) = delete;

    QString root() const { return m_root; }
    // This process's folder; it is made at the first write.
    QString folder() const;
    // A file name for one text, unique in this process.
    QString newName();

    // Writes entry as name, atomically and away from the calling thread, after every write
    // and removal asked for before.
    void write(const QString &name, RecoveryEntry entry);
    void remove(const QString &name);
    // Waits until everything asked for so far is on disk.
    void flush();
    // Told once, on the thread the store was made on, when a copy cannot be written.
    void setErrorHandler(std::function<void(const QString &)> handler);

    // The texts of processes that have ended, oldest first. Their folders are held for this
    // process until releaseOrphans(), so no other process offers them meanwhile.
    QList<RecoveryEntry> claimOrphans();
    // Deletes one text read by claimOrphans().
    static bool discard(const RecoveryEntry &entry);
    // Claimed folders without texts are deleted; the others are let go for the next start.
    void releaseOrphans();

private:
    struct Claim {
        QString folder;
        std::unique_ptr<QLockFile> lock;
    };

    bool ensureFolder();
    void reportFailure(const QString &why);

    QString m_root;
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QThreadPool> m_writer;
    bool m_ready = false;
    int m_names = 0;
    std::vector<Claim> m_claims;
    std::unique_ptr<QObject> m_home;   // lives on the store's thread; failures are told there
    std::function<void(const QString &)> m_onError;
    std::atomic<bool> m_failed = false;
};

} // namespace owb
