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
#include "support/TestContext.h"
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

using Context = owbtest::Context;

// Answers the login dialog: optionally another URI, then user and password, then Connect
// (or Cancel when cancel is true).
inline std::function<int(QDialog *)> answerLogin(const QString &user, const QString &password,
                                                 const QString &otherUri = {}, bool cancel = false)
{
    return [=](QDialog *dlg) {
        auto *uriBox = dlg->findChild<QLineEdit *>(QStringLiteral("txtDBURI"));
        auto *userBox = dlg->findChild<QLineEdit *>(QStringLiteral("txtUserName"));
        auto *pwd = dlg->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
        if (!uriBox || !userBox || !pwd) {
            QTest::qFail("the login dialog lacks txtDBURI, txtUserName or txtPassword", __FILE__, __LINE__);
            return int(QDialog::Rejected);
        }
        if (!otherUri.isEmpty())
            uriBox->setText(otherUri);
        userBox->setText(user);
        pwd->clear();
        QTest::keyClicks(pwd, password);
        auto *button = dlg->findChild<QPushButton *>(cancel ? QStringLiteral("cmdCancel") : QStringLiteral("cmdOK"));
        if (!button || !button->isEnabled())
            return int(QDialog::Rejected);
        button->click();
        return dlg->result();
    };
}

using IsolatedHome = owbtest::IsolatedHome;

// ostreld on a free port, seeded with the demo data (users demo:demo).
using Server = owbtest::OstreldProcess;

} // namespace navtest
