#pragma once
#include "workbench/CommandBars.h"

#include <QList>
#include <QPointer>
#include <QString>

class QsciScintilla;

namespace owb {

class frmImport;
class frmOstrelClient;
struct ImportExportParm;

// The commands of Toolbar1, the document commands of the document window.
//
// A new command is one row in commands() (key, caption, tool tip, handler) and one handler
// here. Handlers work through the window's parts (window.session(), window.reporter(), the
// editors) and report every outcome through the window's OutcomeReporter.
class DocumentCommands {
public:
    explicit DocumentCommands(frmOstrelClient &window) : m_window(window) {}

    // The buttons of Toolbar1, in order.
    QList<Command> commands();

    void StoreCurrentDocument();
    void NewDocument();
    void BuildSampleDocument();
    void OpenImportDialog();
    void OpenExportDialog();

    // Whether the window may close: true unless an editor holds changes that were neither
    // stored nor saved and the user answers No.
    bool mayClose();

    // The import window opened last, while it is open.
    frmImport *impForm() const;

private:
    void query();
    void store();
    void remove();
    void open();
    void save();
    // "importdir" or "exportdir", else the export folder below the writable root; created
    // when missing.
    ImportExportParm transferParm(const QString &settingKey);
    // The editor of the shown page with its file dialog wording; null on other pages.
    QsciScintilla *fileEditor(QString *suffix, QString *filter, QString *what) const;

    frmOstrelClient &m_window;
    QPointer<frmImport> m_impForm;
    QString m_lastFile;   // the file opened or saved last, where the next dialog starts
};

} // namespace owb
