#pragma once
#include "common/AppContext.h"
#include "workbench/CommandBars.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class QsciScintilla;
class QWidget;

namespace owb {

class DocumentSession;
class DocumentView;
struct ImportExportParm;

// The commands of Toolbar1, the document commands of the document window.
//
// A new command is one row in commands() (key, caption, tool tip, handler, canRun) and one
// handler here. Handlers work on the view (editors, page) and the session (document, list,
// target) and report every outcome through the session's OutcomeReporter.
class DocumentCommands {
public:
    DocumentCommands(DocumentView &view, DocumentSession &session, const AppContext &ctx);

    // The buttons of Toolbar1, in order. Each is enabled only while canAct(key).
    QList<Command> commands();
    // Whether the command of key can act now: Store with a document text, Remove with a
    // stored document shown, Save with a text on the text or stylesheet page, Open on those
    // pages, Export with a list to export; the rest always. A non-XML doctype leaves every
    // command that explains why it does nothing able to say so.
    bool canAct(const QString &key) const;
    // Why the command of key cannot act now; empty when it can.
    QString whyNot(const QString &key) const;

    void StoreCurrentDocument();
    // Removes the current document from the server and shows it again without its osl:id;
    // the outcome is reported (message box, log, status). Also reached from the Delete key.
    void RemoveCurrentDocument();
    void NewDocument();
    void BuildSampleDocument();
    void OpenImportDialog();
    void OpenExportDialog();
    // A file dropped on an editor: read into it as Open reads a file, after the same question.
    void openDropped(QsciScintilla *editor, const QString &path);
    // Files dropped on the document list: imported through the import window, as its Import does.
    void importDropped(const QStringList &files);

    // Whether the window may close: true unless an editor holds changes that were neither
    // stored nor saved and the user answers No.
    bool mayClose();

    // The import window opened last, while it is open.
    QWidget *impForm() const;

private:
    void query();
    void store();
    void remove();
    void open();
    void save();
    void load(QsciScintilla *editor, const QString &path);
    // "importdir" or "exportdir", else the export folder below the writable root; created
    // when missing.
    ImportExportParm transferParm(const QString &settingKey);
    // The editor of the shown page with its file dialog wording; null on other pages.
    QsciScintilla *fileEditor(QString *suffix = nullptr, QString *filter = nullptr, QString *what = nullptr) const;

    DocumentView &m_view;
    DocumentSession &m_session;
    AppContext m_ctx;
    QPointer<QWidget> m_impForm;
    QString m_lastFile;   // the file opened or saved last, where the next dialog starts
};

} // namespace owb
