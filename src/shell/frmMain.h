#pragma once
#include "common/MainWindowApi.h"
#include <QMainWindow>
#include <QList>
#include <QPointer>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStatusBar;

namespace owb {

class CommandMenu;
class UserInteraction;

// The main window: an MDI area for every child window, the File/View/Help menus and a
// one-panel status bar.
class frmMain : public QMainWindow, public IMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    void setStatus(const QString &message) override;
    void EnableDocMenu() override;
    void DisableDocMenu() override;
    void HideLog() override;
    void showChild(QWidget *child) override;
    void activateChild(QWidget *child) override;

    // Puts a child into the MDI area once; later calls return the same sub-window.
    QMdiSubWindow *addChild(QWidget *child);
    // Hides a child without closing it (its content stays).
    void hideChild(QWidget *child);
    bool isChildShown(QWidget *child) const;

    // The windows that View > Log and View > Navigate toggle.
    void setLogWindow(QWidget *log);
    void setNavigateWindow(QWidget *navigate);
    QWidget *logWindow() const { return m_log; }
    QWidget *navigateWindow() const { return m_navigate; }

    // Puts the window where it was last time, and its children at their sizes as they open;
    // from now on their places are kept when they close.
    void rememberPlaces();

    // Where the question before closing over unsaved changes goes.
    void setUserInteraction(UserInteraction *ui) { m_ui = ui; }

    QString statusText() const;
    // The Document menu, present while a window with commands (a document window) is active.
    QMenu *documentMenu() const { return m_documentMenu; }
    QMdiArea *mdiArea() const { return m_mdi; }

signals:
    // No Help or About window exists here; whoever provides them listens.
    void helpIndexRequested();
    void aboutRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QAction *addItem(QMenu *menu, const char *name, const QString &caption);
    QAction *addSeparator(QMenu *menu, const char *name);
    // Checkable items flip their own mark before triggered() arrives; the handlers decide
    // from the mark as it was, so put it back first.
    void connectToggle(QAction *action, void (frmMain::*handler)());
    void toggleNavigate();
    void toggleStatusBar();
    // The Document menu and the File menu's document items follow the active child window.
    void followActiveWindow();
    void syncFileItems();
    CommandMenu *activeCommands() const;
    // Runs a command of the active document window, when it can act.
    void runCommand(const QString &key);

    QMdiArea *m_mdi;
    QStatusBar *m_sbMessage;
    QLabel *m_statusPanel;
    QAction *m_filePerform;
    QAction *m_fileProcess;
    QAction *m_fileSep1;
    QAction *m_filePrint;
    QAction *m_fileSep2;
    QAction *m_viewNavigate;
    QAction *m_viewStatus;
    QAction *m_viewLog;
    QMenu *m_documentMenu;
    QList<QMetaObject::Connection> m_commandWatch;
    QPointer<QWidget> m_log;
    QPointer<QWidget> m_navigate;
    UserInteraction *m_ui = nullptr;
    bool m_rememberPlaces = false;
};

} // namespace owb
