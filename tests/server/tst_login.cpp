#include "common/Settings.h"
#include "server/LoginSecurity.h"
#include "server/frmLogin.h"
#include "support/NamedChildren.h"
#include "support/ScriptedUserInteraction.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace owb;

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void layoutAndCaptions();
    void userNameDefaultsToLoginName();
    void userNameComesFromSettings();
    void connectEnabledOnlyWhenAllGiven_data();
    void connectEnabledOnlyWhenAllGiven();
    void connectSavesAndRaisesUntrimmed();
    void cancelSavesNothing();
    void passwordInTheOpenIsWarned_data();
    void passwordInTheOpenIsWarned();
    void authorityFileIsKeptPerUri();

private:
    QTemporaryDir m_settingsDir;
};

void TestLogin::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    frmLogin dlg;
    const QString missing = owbtest::missingChildren(
        &dlg, {owbtest::named<QLabel>("Label1"), owbtest::named<QLabel>("lblLabels0"), owbtest::named<QLabel>("lblLabels1"),
               owbtest::named<QLineEdit>("txtDBURI"), owbtest::named<QLineEdit>("txtUserName"),
               owbtest::named<QLineEdit>("txtPassword"), owbtest::named<QPushButton>("cmdOK"),
               owbtest::named<QPushButton>("cmdCancel"), owbtest::named<QPushButton>("cmdCAFile"),
               owbtest::named<QLineEdit>("txtCAFile"), owbtest::named<QLabel>("lblWarning")});
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("the dialog lacks ") + missing));
}

void TestLogin::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "OstrelClient", "OstrelClient").clear();
}

void TestLogin::layoutAndCaptions()
{
    frmLogin dlg;
    QCOMPARE(dlg.objectName(), QStringLiteral("frmLogin"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Connect"));
    QCOMPARE(dlg.findChild<QLabel *>("Label1")->text(), QStringLiteral("Ostrel URI"));
    QCOMPARE(dlg.findChild<QLabel *>("lblLabels0")->text(), QStringLiteral("&User Name:"));
    QCOMPARE(dlg.findChild<QLabel *>("lblLabels1")->text(), QStringLiteral("&Password:"));
    auto *ok = dlg.findChild<QPushButton *>("cmdOK");
    QCOMPARE(ok->text(), QStringLiteral("Connect"));
    QVERIFY(ok->isDefault());
    QCOMPARE(dlg.findChild<QPushButton *>("cmdCancel")->text(), QStringLiteral("Cancel"));
    auto *pw = dlg.findChild<QLineEdit *>("txtPassword");
    QCOMPARE(pw->echoMode(), QLineEdit::Password);
    QVERIFY(!pw->text().isEmpty());
}

void TestLogin::userNameDefaultsToLoginName()
{
    QVERIFY(!frmLogin::currentUserName().isEmpty());
    frmLogin dlg;
    QCOMPARE(dlg.findChild<QLineEdit *>("txtUserName")->text(), frmLogin::currentUserName());
}

void TestLogin::userNameComesFromSettings()
{
    Settings::save("config", "userid", "stored-user");
    frmLogin dlg;
    dlg.setConnection("http://localhost:8790/ostrel/mydb");
    QCOMPARE(dlg.findChild<QLineEdit *>("txtUserName")->text(), QStringLiteral("stored-user"));
    QCOMPARE(dlg.findChild<QLineEdit *>("txtDBURI")->text(), QStringLiteral("http://localhost:8790/ostrel/mydb"));
    QCOMPARE(dlg.Connection(), QStringLiteral("http://localhost:8790/ostrel/mydb"));
}

void TestLogin::connectEnabledOnlyWhenAllGiven_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("typePassword");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("enabled");
    const QString uri = "http://localhost:8790/ostrel/mydb";
    QTest::newRow("password not typed yet") << uri << "demo" << false << "" << false;
    QTest::newRow("all given") << uri << "demo" << true << "demo" << true;
    QTest::newRow("blank password") << uri << "demo" << true << "   " << false;
    QTest::newRow("empty password") << uri << "demo" << true << "" << false;
    QTest::newRow("uri cleared") << "" << "demo" << true << "demo" << false;
    QTest::newRow("uri only blanks") << "  " << "demo" << true << "demo" << false;
    QTest::newRow("user cleared") << uri << "" << true << "demo" << false;
}

void TestLogin::connectEnabledOnlyWhenAllGiven()
{
    QFETCH(QString, uri);
    QFETCH(QString, user);
    QFETCH(bool, typePassword);
    QFETCH(QString, password);
    QFETCH(bool, enabled);
    frmLogin dlg;
    dlg.setConnection("http://localhost:8790/ostrel/mydb");
    dlg.show();
    auto *txtUri = dlg.findChild<QLineEdit *>("txtDBURI");
    auto *txtUser = dlg.findChild<QLineEdit *>("txtUserName");
    auto *txtPw = dlg.findChild<QLineEdit *>("txtPassword");
    auto *ok = dlg.findChild<QPushButton *>("cmdOK");
    QVERIFY(!ok->isEnabled());
    txtUri->clear();
    QTest::keyClicks(txtUri, uri);
    txtUser->clear();
    QTest::keyClicks(txtUser, user);
    if (typePassword) {
        txtPw->selectAll();
        QTest::keyClick(txtPw, Qt::Key_Delete);
        QTest::keyClicks(txtPw, password);
    }
    QCOMPARE(ok->isEnabled(), enabled);
}

void TestLogin::connectSavesAndRaisesUntrimmed()
{
    frmLogin dlg;
    dlg.setConnection(" http://h/ostrel/db ");
    dlg.show();
    QSignalSpy spy(&dlg, &frmLogin::LoginData);
    dlg.findChild<QLineEdit *>("txtUserName")->setText(" jürgen ");
    dlg.findChild<QLineEdit *>("txtPassword")->setText("p;w ");
    QTest::mouseClick(dlg.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral(" http://h/ostrel/db "));
    QCOMPARE(spy.at(0).at(1).toString(), QString::fromUtf8(" jürgen "));
    QCOMPARE(spy.at(0).at(2).toString(), QStringLiteral("p;w "));
    QCOMPARE(Settings::get("config", "userid"), QString::fromUtf8(" jürgen "));
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
}

void TestLogin::cancelSavesNothing()
{
    Settings::save("config", "userid", "before");
    frmLogin dlg;
    dlg.setConnection("http://h/ostrel/db");
    dlg.show();
    QSignalSpy spy(&dlg, &frmLogin::LoginData);
    dlg.findChild<QLineEdit *>("txtUserName")->setText("other");
    dlg.findChild<QLineEdit *>("txtPassword")->setText("pw");
    QTest::mouseClick(dlg.findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(Settings::get("config", "userid"), QStringLiteral("before"));
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void TestLogin::passwordInTheOpenIsWarned_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<bool>("warned");
    QTest::newRow("http to another host") << "http://db.example.com:8790/ostrel/mydb" << true;
    QTest::newRow("http to an address") << "http://192.168.1.5/ostrel/mydb" << true;
    QTest::newRow("http in capitals") << "HTTP://db.example.com/ostrel/mydb" << true;
    QTest::newRow("loopback look-alike") << "http://127.0.0.1.example.com/ostrel/mydb" << true;
    QTest::newRow("https") << "https://db.example.com/ostrel/mydb" << false;
    QTest::newRow("127.0.0.1") << "http://127.0.0.1:8790/ostrel/mydb" << false;
    QTest::newRow("localhost") << "http://localhost:8790/ostrel/mydb" << false;
    QTest::newRow("::1") << "http://[::1]:8790/ostrel/mydb" << false;
}

void TestLogin::passwordInTheOpenIsWarned()
{
    QFETCH(QString, uri);
    QFETCH(bool, warned);
    frmLogin dlg;
    dlg.setConnection("http://localhost:8790/ostrel/mydb");
    dlg.show();
    auto *warning = dlg.findChild<QLabel *>("lblWarning");
    QVERIFY(!warning->isVisible());
    auto *txtUri = dlg.findChild<QLineEdit *>("txtDBURI");
    txtUri->clear();
    QTest::keyClicks(txtUri, uri);
    QCOMPARE(warning->isVisible(), warned);
    QCOMPARE(warning->text(), QStringLiteral("The password will be sent unencrypted"));
}

void TestLogin::authorityFileIsKeptPerUri()
{
    const QString a = "https://a.example/ostrel/db";
    const QString b = "https://b.example/ostrel/db";
    LoginSecurity::saveAuthorityFile(a, "/etc/a-ca.pem");
    ScriptedUserInteraction ui;
    {
        frmLogin dlg(nullptr, &ui);
        dlg.setConnection(a);
        dlg.show();
        QCOMPARE(dlg.findChild<QLineEdit *>("txtCAFile")->text(), QStringLiteral("/etc/a-ca.pem"));
        ui.fileAnswers << "/home/u/company ca.pem";
        QTest::mouseClick(dlg.findChild<QPushButton *>("cmdCAFile"), Qt::LeftButton);
        QCOMPARE(ui.shown.last().kind, QStringLiteral("openFile"));
        QCOMPARE(dlg.CAFile(), QStringLiteral("/home/u/company ca.pem"));
        dlg.findChild<QLineEdit *>("txtPassword")->setText("secret-pw");
        QTest::mouseClick(dlg.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    }
    QCOMPARE(LoginSecurity::authorityFileOf(a), QStringLiteral("/home/u/company ca.pem"));
    {
        frmLogin dlg(nullptr, &ui);
        dlg.setConnection(b);
        dlg.show();
        QVERIFY(dlg.CAFile().isEmpty());
        ui.fileAnswers << "/tmp/b.pem";
        QTest::mouseClick(dlg.findChild<QPushButton *>("cmdCAFile"), Qt::LeftButton);
        QTest::mouseClick(dlg.findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
    }
    QCOMPARE(LoginSecurity::authorityFiles(), (QHash<QString, QString>{{a, "/home/u/company ca.pem"}}));
    QFile stored(QSettings(QSettings::NativeFormat, QSettings::UserScope, "OstrelClient", "OstrelClient").fileName());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QVERIFY(!stored.readAll().contains("secret-pw"));
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
