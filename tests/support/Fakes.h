#pragma once
// Recording stand-ins for the main window and the log.
#include "common/MainWindowApi.h"
#include "log/ILogMessage.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace owbtest {

class FakeMainWindow : public owb::IMainWindow {
public:
    QStringList statuses;
    int docMenuEnabled = 0;
    int docMenuDisabled = 0;
    int hideLogCalls = 0;
    QList<QPointer<QWidget>> shown;
    QList<QPointer<QWidget>> activated;
    void setStatus(const QString &m) override { statuses << m; }
    void EnableDocMenu() override { ++docMenuEnabled; }
    void DisableDocMenu() override { ++docMenuDisabled; }
    void HideLog() override { ++hideLogCalls; }
    void showChild(QWidget *child) override
    {
        shown << child;
        child->show();
    }
    void activateChild(QWidget *child) override { activated << child; }
    QString lastStatus() const { return statuses.isEmpty() ? QString() : statuses.last(); }
};

class RecordingLog : public owb::ILogMessage {
public:
    QStringList lines;
    void LogEntry(const QString &m) override { lines << m; }
};

} // namespace owbtest
