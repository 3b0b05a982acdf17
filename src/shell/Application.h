#pragma once
#include "common/AppContext.h"
#include "common/UserInteraction.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "shell/frmRecover.h"
#include "shell/frmSplash.h"
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class QWidget;

namespace owb {

class RecoveryStore;
struct RecoveryEntry;
class frmLog;
class frmMain;

// Owns the process-wide objects and the single-instance windows, and wires them together.
class Application : public QObject {
    Q_OBJECT
public:
    // ui: the dialogs' front end; a Qt one on the main window when none is given.
    explicit Application(std::unique_ptr<UserInteraction> ui = {});
    ~Application() override;

    // The start-up order: file handler, connection registry, form encoder; the main window
    // with the log window shown and hidden again (so the log is loaded before anyone logs);
    // the Navigate window; the splash window. Then texts that an ended run left unsaved are
    // offered in frmRecover.
    void start();
    // Shown first in the Navigate window for this run; set before start().
    void setStartDatabaseURI(const QString &uri) { m_startDatabaseURI = uri; }
    const QString &startDatabaseURI() const { return m_startDatabaseURI; }

    // Help > Index and Help > About; each window is made on first use and while it is open,
    // later calls bring it forward.
    void showHelp();
    void showAbout();

    const AppContext &context() const { return m_context; }
    frmMain *mainWindow() const { return m_main.get(); }
    frmLog *logWindow() const { return m_log; }
    QWidget *navigateWindow() const { return m_navigate; }
    // Each nullptr while it is not open.
    frmSplash *splashWindow() const { return m_splash; }
    frmHelp *helpWindow() const { return m_help; }
    frmAbout *aboutWindow() const { return m_about; }
    frmRecover *recoverWindow() const { return m_recover; }
    // What start() created, in order (class names).
    const QStringList &startupSteps() const { return m_steps; }

protected:
    // The Navigate window; nullptr while there is none.
    virtual QWidget *createNavigateWindow();

private:
    void offerRecovery();
    // Puts one recovered text into the document window of its doctype.
    bool restore(const RecoveryEntry &entry);

    AppContext m_context;
    std::unique_ptr<clsFileHandler> m_fileHandler;
    std::unique_ptr<clsConnection> m_connection;
    std::unique_ptr<FormEncoder> m_formEncoder;
    std::unique_ptr<HttpClient> m_http;
    std::unique_ptr<UserInteraction> m_ui;
    std::unique_ptr<RecoveryStore> m_recovery;   // outlives the windows that write into it
    // Declared last: the windows go before the objects they use.
    std::unique_ptr<frmMain> m_main;
    frmLog *m_log = nullptr;
    QWidget *m_navigate = nullptr;
    QPointer<frmSplash> m_splash;
    QPointer<frmHelp> m_help;
    QPointer<frmAbout> m_about;
    QPointer<frmRecover> m_recover;
    QStringList m_steps;
    QString m_startDatabaseURI;
};

} // namespace owb
