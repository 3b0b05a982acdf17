#pragma once
// What the Navigate window tests share: ostreld seeded with the demo data, recording
// stand-ins for the main window and the log, and a temporary home for data and settings.
#include "common/AppContext.h"
#include "common/HttpClient.h"
#include "common/MainWindowApi.h"
#include "common/UserInteraction.h"
#include "log/ILogMessage.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "support/Fakes.h"
#include "support/OstreldProcess.h"

#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace navtest {

using FakeMainWindow = owbtest::FakeMainWindow;
using RecordingLog = owbtest::RecordingLog;

struct Context {
    FakeMainWindow main;
    RecordingLog log;
    owb::ScriptedUserInteraction ui;
    owb::HttpClient http;
    owb::FormEncoder encoder;
    owb::clsConnection connection;

    owb::AppContext app()
    {
        owb::AppContext c;
        c.connection = &connection;
        c.formEncoder = &encoder;
        c.http = &http;
        c.log = &log;
        c.mainWindow = &main;
        c.ui = &ui;
        return c;
    }
};

// Answers the login dialog: optionally another URI, then user and password, then Connect
// (or Cancel when cancel is true).
inline std::function<int(QDialog *)> answerLogin(const QString &user, const QString &password,
                                                 const QString &otherUri = {}, bool cancel = false)
{
    return [=](QDialog *dlg) {
        if (!otherUri.isEmpty())
            dlg->findChild<QLineEdit *>(QStringLiteral("txtDBURI"))->setText(otherUri);
        auto *userBox = dlg->findChild<QLineEdit *>(QStringLiteral("txtUserName"));
        userBox->setText(user);
        auto *pwd = dlg->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
        pwd->clear();
        QTest::keyClicks(pwd, password);
        auto *button = dlg->findChild<QPushButton *>(cancel ? QStringLiteral("cmdCancel") : QStringLiteral("cmdOK"));
        if (!button || !button->isEnabled())
            return int(QDialog::Rejected);
        button->click();
        return dlg->result();
    };
}

// Data files and settings in a temporary folder.
class IsolatedHome {
public:
    IsolatedHome()
    {
        const QString settings = m_dir.filePath(QStringLiteral("settings"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
        const QDir src(QStringLiteral(OWB_DATA_DIR));
        QDirIterator it(src.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString from = it.next();
            const QString to = m_dir.filePath(src.relativeFilePath(from));
            QDir().mkpath(QFileInfo(to).absolutePath());
            QFile::copy(from, to);
        }
        qputenv("OSTREL_WORKBENCH_HOME", m_dir.path().toUtf8());
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// ostreld on a free port, seeded with the demo data (users demo:demo).
using Server = owbtest::OstreldProcess;

} // namespace navtest
