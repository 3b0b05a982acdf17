#include "shell/frmMain.h"
#include "common/CommandMenu.h"
#include "common/UnsavedWork.h"
#include "shell/WindowPlaces.h"
#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace owb {

namespace {

// The frame follows its child's modified flag both ways; the frame's own tracking clears it
// only when both captions are equal, and ours differ by the marker.
class ModifiedMarker : public QObject {
public:
    ModifiedMarker(QWidget *child, QMdiSubWindow *frame) : QObject(frame), m_frame(frame)
    {
        child->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ModifiedChange)
            m_frame->setWindowModified(static_cast<QWidget *>(watched)->isWindowModified());
        return false;
    }

private:
    QMdiSubWindow *m_frame;
};

// Keeps a child's size and splitters when its frame closes (closing the program closes them
// all), for the next time that child is opened.
class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget *child, QMdiSubWindow *frame) : QObject(frame), m_child(child), m_frame(frame)
    {
        frame->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close && m_child)
            WindowPlaces::saveChild(*m_child, *m_frame);
        return false;
    }

private:
    QPointer<QWidget> m_child;
    QMdiSubWindow *m_frame;
};

} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Ostrel Workbench"));

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdi);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("cmdFile"));
    file->menuAction()->setObjectName(QStringLiteral("cmdFile"));
    m_filePerform = addItem(file, "mnuFilePerform", QStringLiteral("&Perform request"));
    m_fileProcess = addItem(file, "mnuFileProcess", QStringLiteral("Process &documents"));
    m_fileSep1 = addSeparator(file, "mnuFileSep1");
    m_filePrint = addItem(file, "mnuFilePrint", QStringLiteral("&Print"));
    m_fileSep2 = addSeparator(file, "mnuFileSep2");
    QAction *exit = addItem(file, "mnuFileExit", QStringLiteral("&Exit"));
    exit->setShortcut(Qt::CTRL | Qt::Key_Q);
    connect(m_filePerform, &QAction::triggered, this, [this] { runCommand(QStringLiteral("Query")); });
    connect(m_fileProcess, &QAction::triggered, this, [this] { runCommand(QStringLiteral("Store")); });
    connect(m_filePrint, &QAction::triggered, this, [this] { runCommand(QStringLiteral("Print")); });
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("cmdView"));
    view->menuAction()->setObjectName(QStringLiteral("cmdView"));
    m_viewNavigate = addItem(view, "cmdViewNavigate", QStringLiteral("&Navigate"));
    m_viewStatus = addItem(view, "cmdViewStatus", QStringLiteral("&Statusbar"));
    m_viewLog = addItem(view, "mnuViewLog", QStringLiteral("&Log"));
    for (QAction *a : {m_viewNavigate, m_viewStatus, m_viewLog})
        a->setCheckable(true);
    m_viewNavigate->setChecked(true);
    m_viewStatus->setChecked(true);
    connectToggle(m_viewNavigate, &frmMain::toggleNavigate);
    connectToggle(m_viewStatus, &frmMain::toggleStatusBar);
    connectToggle(m_viewLog, &frmMain::HideLog);
    m_viewNavigate->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_N);
    m_viewLog->setShortcut(Qt::CTRL | Qt::Key_L);

    m_documentMenu = menuBar()->addMenu(QStringLiteral("&Document"));
    m_documentMenu->setObjectName(QStringLiteral("mnuDocument"));
    m_documentMenu->menuAction()->setObjectName(QStringLiteral("mnuDocument"));
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &frmMain::followActiveWindow);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->menuAction()->setObjectName(QStringLiteral("mnuHelp"));
    QAction *index = addItem(help, "mnuHelpIndex", QStringLiteral("Index"));
    addSeparator(help, "mnuHelpSep");
    QAction *about = addItem(help, "cmdHelpAbout", QStringLiteral("&About"));
    connect(index, &QAction::triggered, this, &frmMain::helpIndexRequested);
    connect(about, &QAction::triggered, this, &frmMain::aboutRequested);

    m_sbMessage = new QStatusBar(this);
    m_sbMessage->setObjectName(QStringLiteral("sbMessage"));
    m_statusPanel = new QLabel(m_sbMessage);
    m_statusPanel->setObjectName(QStringLiteral("sbMessagePanel1"));
    m_sbMessage->addWidget(m_statusPanel, 1);
    setStatusBar(m_sbMessage);

    resize(1024, 720);
    followActiveWindow();
}

frmMain::~frmMain()
{
    // The children going down must not make the menu follow them any more.
    disconnect(m_mdi, nullptr, this, nullptr);
    for (const QMetaObject::Connection &c : std::as_const(m_commandWatch))
        disconnect(c);
}

QAction *frmMain::addItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

QAction *frmMain::addSeparator(QMenu *menu, const char *name)
{
    QAction *a = menu->addSeparator();
    a->setObjectName(QLatin1String(name));
    a->setText(QStringLiteral("-"));
    return a;
}

void frmMain::connectToggle(QAction *action, void (frmMain::*handler)())
{
    connect(action, &QAction::triggered, this, [this, action, handler](bool checked) {
        action->setChecked(!checked);
        (this->*handler)();
    });
}

void frmMain::setStatus(const QString &message)
{
    m_statusPanel->setText(message);
}

QString frmMain::statusText() const
{
    return m_statusPanel->text();
}

void frmMain::EnableDocMenu()
{
    if (m_fileProcess->isVisible())
        return;
    for (QAction *a : {m_fileProcess, m_filePerform, m_fileSep1, m_fileSep2, m_filePrint})
        a->setVisible(true);
}

void frmMain::DisableDocMenu()
{
    for (QAction *a : {m_fileProcess, m_filePerform, m_fileSep1, m_fileSep2, m_filePrint})
        a->setVisible(false);
}

void frmMain::HideLog()
{
    if (m_viewLog->isChecked()) {
        if (m_log)
            hideChild(m_log);
        m_viewLog->setChecked(false);
    } else {
        if (m_log)
            showChild(m_log);
        m_viewLog->setChecked(true);
    }
}

void frmMain::toggleNavigate()
{
    if (m_viewNavigate->isChecked()) {
        if (m_navigate)
            hideChild(m_navigate);
        m_viewNavigate->setChecked(false);
    } else {
        if (m_navigate)
            showChild(m_navigate);
        m_viewNavigate->setChecked(true);
    }
}

void frmMain::toggleStatusBar()
{
    const bool show = !m_viewStatus->isChecked();
    m_sbMessage->setVisible(show);
    m_viewStatus->setChecked(show);
}

CommandMenu *frmMain::activeCommands() const
{
    // The current sub-window stays while the program itself is in the background.
    QMdiSubWindow *sub = m_mdi->currentSubWindow();
    return sub ? dynamic_cast<CommandMenu *>(sub->widget()) : nullptr;
}

void frmMain::followActiveWindow()
{
    m_documentMenu->clear();
    for (const QMetaObject::Connection &c : std::as_const(m_commandWatch))
        disconnect(c);
    m_commandWatch.clear();
    CommandMenu *commands = activeCommands();
    if (commands) {
        commands->fillCommandMenu(m_documentMenu);
        for (const char *key : {"Query", "Store", "Print"})
            if (QAction *a = commands->commandAction(QLatin1String(key)))
                m_commandWatch << connect(a, &QAction::changed, this, &frmMain::syncFileItems);
        // A closed window takes its actions along; what is active then comes after.
        m_commandWatch << connect(m_mdi->currentSubWindow(), &QObject::destroyed, this,
                                  [this] { QMetaObject::invokeMethod(this, &frmMain::followActiveWindow, Qt::QueuedConnection); });
    }
    m_documentMenu->menuAction()->setVisible(commands);
    syncFileItems();
}

void frmMain::syncFileItems()
{
    CommandMenu *commands = activeCommands();
    const auto able = [commands](const char *key) {
        const QAction *a = commands ? commands->commandAction(QLatin1String(key)) : nullptr;
        return a && a->isEnabled();
    };
    m_filePerform->setEnabled(able("Query"));
    m_fileProcess->setEnabled(able("Store"));
    m_filePrint->setEnabled(able("Print"));
}

void frmMain::runCommand(const QString &key)
{
    CommandMenu *commands = activeCommands();
    QAction *a = commands ? commands->commandAction(key) : nullptr;
    if (a && a->isEnabled())
        a->trigger();
}

void frmMain::setLogWindow(QWidget *log)
{
    m_log = log;
}

void frmMain::setNavigateWindow(QWidget *navigate)
{
    m_navigate = navigate;
}

QMdiSubWindow *frmMain::addChild(QWidget *child)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(child->parentWidget());
        sub && sub->mdiArea() == m_mdi)
        return sub;
    QMdiSubWindow *sub = m_mdi->addSubWindow(child);
    sub->adjustSize();
    sub->setObjectName(child->objectName() + QStringLiteral("Frame"));
    if (m_rememberPlaces) {
        WindowPlaces::restoreChild(*child, *sub);
        new PlaceKeeper(child, sub);
    }
    // The frame shows the modified marker, so the child's own caption stays its plain name.
    if (!child->windowTitle().contains(QLatin1String("[*]"))) {
        sub->setWindowTitle(child->windowTitle() + QStringLiteral("[*]"));
        new ModifiedMarker(child, sub);
    }
    // Single-instance windows hide instead of closing, so their state outlives the frame's
    // close button; a child that wants to go away for good sets WA_DeleteOnClose itself.
    if (!child->testAttribute(Qt::WA_DeleteOnClose))
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
    return sub;
}

void frmMain::showChild(QWidget *child)
{
    if (!child)
        return;
    if (!isVisible())
        show();
    QMdiSubWindow *sub = addChild(child);
    child->show();
    sub->show();
    m_mdi->setActiveSubWindow(sub);
}

void frmMain::activateChild(QWidget *child)
{
    if (!child)
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(child->parentWidget())) {
        if (sub->isMinimized())
            sub->showNormal();
        m_mdi->setActiveSubWindow(sub);
    }
}

void frmMain::hideChild(QWidget *child)
{
    if (!child)
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(child->parentWidget()))
        sub->hide();
    else
        child->hide();
}

bool frmMain::isChildShown(QWidget *child) const
{
    if (!child)
        return false;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(child->parentWidget()))
        return sub->isVisible() && child->isVisible();
    return child->isVisible();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // One question for every window holding unsaved changes, instead of one per window.
    QStringList names;
    QList<UnsavedWork *> holding;
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        auto *work = dynamic_cast<UnsavedWork *>(sub->widget());
        const QStringList more = work ? work->unsavedChanges() : QStringList();
        if (!more.isEmpty()) {
            names << more;
            holding << work;
        }
    }
    if (m_ui && !names.isEmpty()) {
        if (!UnsavedWork::confirmDiscard(m_ui, names)) {
            event->ignore();
            return;
        }
        for (UnsavedWork *work : holding)
            work->discardUnsavedChanges();
    }
    // Every child runs its own close handling; one that refuses keeps the program running.
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (!sub->close()) {
            event->ignore();
            return;
        }
    }
    if (m_rememberPlaces)
        WindowPlaces::saveMain(*this);
    event->accept();
}

void frmMain::rememberPlaces()
{
    m_rememberPlaces = true;
    WindowPlaces::restoreMain(*this);
}

} // namespace owb
