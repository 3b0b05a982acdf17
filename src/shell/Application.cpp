#include "shell/Application.h"
#include "shell/frmMain.h"
#include "shell/frmRecover.h"
#include "common/HttpClient.h"
#include "common/RecoveryStore.h"
#include "shell/QtUserInteraction.h"
#include "log/frmLog.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "xml/clsFileHandler.h"
#ifdef OWB_HAVE_NAVIGATION
#include "navigation/frmNavigate.h"
#include "workbench/frmOstrelClient.h"
#endif

namespace owb {

Application::Application(std::unique_ptr<UserInteraction> ui) : m_ui(std::move(ui)) {}

Application::~Application() = default;

void Application::start()
{
    if (m_main)
        return;

    m_fileHandler = std::make_unique<clsFileHandler>();
    m_steps << QStringLiteral("clsFileHandler");
    m_connection = std::make_unique<clsConnection>();
    m_steps << QStringLiteral("clsConnection");
    m_formEncoder = std::make_unique<FormEncoder>();
    m_steps << QStringLiteral("FormEncoder");
    m_http = std::make_unique<HttpClient>();
    m_recovery = std::make_unique<RecoveryStore>(RecoveryStore::defaultRoot());

    m_main = std::make_unique<frmMain>();
    m_steps << QStringLiteral("frmMain");
    connect(m_main.get(), &frmMain::helpIndexRequested, this, &Application::showHelp);
    connect(m_main.get(), &frmMain::aboutRequested, this, &Application::showAbout);
    if (!m_ui)
        m_ui = std::make_unique<QtUserInteraction>(m_main.get());
    // Every request of the windows waits with the progress display and its Cancel.
    m_http->setUserInteraction(m_ui.get());
    m_main->setUserInteraction(m_ui.get());

    m_context.fileHandler = m_fileHandler.get();
    m_context.connection = m_connection.get();
    m_context.formEncoder = m_formEncoder.get();
    m_context.http = m_http.get();
    m_context.mainWindow = m_main.get();
    m_context.ui = m_ui.get();
    m_context.recovery = m_recovery.get();

    m_main->rememberPlaces();
    m_main->show();
    m_log = new frmLog(m_main.get(), m_ui.get());
    m_steps << QStringLiteral("frmLog");
    m_context.log = m_log;
    m_recovery->setErrorHandler([this](const QString &why) { m_log->LogEntry(why); });
    m_main->setLogWindow(m_log);
    m_main->showChild(m_log);
    m_main->hideChild(m_log);

    m_navigate = createNavigateWindow();
    if (m_navigate) {
        m_steps << m_navigate->objectName();
        m_main->setNavigateWindow(m_navigate);
        m_main->showChild(m_navigate);
    }

    m_splash = new frmSplash(m_main.get());
    m_steps << m_splash->objectName();
    m_splash->show();

    offerRecovery();
}

void Application::offerRecovery()
{
    const QList<RecoveryEntry> left = m_recovery->claimOrphans();
    if (left.isEmpty()) {
        m_recovery->releaseOrphans();
        return;
    }
    m_recover = new frmRecover(*m_recovery, left, [this](const RecoveryEntry &e) { return restore(e); }, m_main.get());
    m_recover->setWindowFlag(Qt::Dialog);
    m_recover->show();
}

bool Application::restore(const RecoveryEntry &entry)
{
#ifdef OWB_HAVE_NAVIGATION
    auto *navigate = qobject_cast<frmNavigate *>(m_navigate);
    frmOstrelClient *window =
        navigate ? navigate->openDocumentWindow({entry.database, entry.collection, entry.doctype}) : nullptr;
    if (!window)
        return false;
    if (window->DatabaseURI() != entry.database) {
        // One window per doctype: the open one belongs to another database.
        m_ui->message(QStringLiteral("The window of ") + window->doctype() + QStringLiteral(" shows the database ")
                          + window->DatabaseURI() + QStringLiteral(". Close it to restore this text of ")
                          + entry.database + QLatin1Char('.'),
                      QStringLiteral("Recover unsaved documents"), UserInteraction::Icon::Exclamation);
        return false;
    }
    return window->restoreText(entry);
#else
    Q_UNUSED(entry);
    return false;
#endif
}

void Application::showHelp()
{
    if (!m_main)
        return;
    if (!m_help)
        m_help = new frmHelp;
    m_main->showChild(m_help);
}

void Application::showAbout()
{
    if (!m_main || !m_ui)
        return;
    if (!m_about)
        m_about = new frmAbout(*m_ui, m_main.get());
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

QWidget *Application::createNavigateWindow()
{
#ifdef OWB_HAVE_NAVIGATION
    // A missing tree stylesheet is reported at the first Load, not here.
    auto *navigate = new frmNavigate(m_context);
    navigate->offerDatabaseURI(m_startDatabaseURI);
    return navigate;
#else
    return nullptr;
#endif
}

} // namespace owb
