#pragma once
#include "log/ILogMessage.h"
#include <QDateTime>
#include <QWidget>
#include <functional>
#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace owb {

class FindBar;
class IMainWindow;
class PlainTextFind;
class UserInteraction;

// The one log window. Its text is kept exactly as saved files hold it (entries separated by
// CR LF, none after the last); the widget shows the same lines and only ever appends.
class frmLog : public QWidget, public ILogMessage {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    // Loads the previous log (or starts a new one) at once; problems are reported through ui.
    frmLog(IMainWindow *mainWindow, UserInteraction *ui, QWidget *parent = nullptr,
           Clock clock = {});
    ~frmLog() override;

    void Log(const QString &message);
    void LogEntry(const QString &message) override;

    // The whole log as it would be saved.
    const QString &logText() const { return m_text; }
    int sequence() const { return m_sequence; }
    // Where saved logs are proposed.
    static QString logDir();

    void setMainWindow(IMainWindow *mainWindow) { m_mainWindow = mainWindow; }
    FindBar *findBar() const { return m_findBar; }

public slots:
    void clearLog();   // Command1
    void saveLog();    // Command2
    void hideLog();    // Command3

    QSize sizeHint() const override { return QSize(640, 400); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void load();
    void setWholeText(const QString &text);
    void warn(const QString &text);
    QDateTime now() const;
    void placeControls();

    IMainWindow *m_mainWindow;
    UserInteraction *m_ui;
    Clock m_clock;
    QString m_text;
    int m_sequence = 1;
    QPlainTextEdit *m_rtfLog;
    QPushButton *m_clear;
    QPushButton *m_save;
    QPushButton *m_hide;
    std::unique_ptr<PlainTextFind> m_find;
    FindBar *m_findBar;
};

} // namespace owb
