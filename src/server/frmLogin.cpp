#include "server/frmLogin.h"
#include "common/Settings.h"
#include "common/UserInteraction.h"
#include "server/LoginName.h"
#include "server/LoginSecurity.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace owb {

namespace {
const QString kSection = QStringLiteral("config");
const QString kKey = QStringLiteral("userid");
} // namespace

QString frmLogin::currentUserName()
{
    return LoginName::currentUserName();
}

frmLogin::frmLogin(QWidget *parent, UserInteraction *ui) : QDialog(parent), m_ui(ui)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Connect"));

    m_label1 = new QLabel(QStringLiteral("Ostrel URI"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_txtDBURI = new QLineEdit(this);
    m_txtDBURI->setObjectName(QStringLiteral("txtDBURI"));
    m_cmdCAFile = new QPushButton(QStringLiteral("Certificate authority..."), this);
    m_cmdCAFile->setObjectName(QStringLiteral("cmdCAFile"));
    m_cmdCAFile->setToolTip(QStringLiteral("Trust the servers of this URI whose certificate comes from the "
                                           "authority in a file (PEM)"));
    m_cmdCAFile->setEnabled(m_ui != nullptr);
    m_lblCAFile = new QLabel(QStringLiteral("&Authority file:"), this);
    m_lblCAFile->setObjectName(QStringLiteral("lblCAFile"));
    m_txtCAFile = new QLineEdit(this);
    m_txtCAFile->setObjectName(QStringLiteral("txtCAFile"));
    m_txtCAFile->setPlaceholderText(QStringLiteral("the system's certificate authorities"));
    m_txtCAFile->setClearButtonEnabled(true);
    m_lblCAFile->setBuddy(m_txtCAFile);
    m_lblWarning = new QLabel(LoginSecurity::UnencryptedWarning, this);
    m_lblWarning->setObjectName(QStringLiteral("lblWarning"));
    m_lblWarning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    m_lblWarning->setVisible(false);
    m_lblUser = new QLabel(QStringLiteral("&User Name:"), this);
    m_lblUser->setObjectName(QStringLiteral("lblLabels0"));
    m_txtUserName = new QLineEdit(this);
    m_txtUserName->setObjectName(QStringLiteral("txtUserName"));
    m_lblUser->setBuddy(m_txtUserName);
    m_lblPassword = new QLabel(QStringLiteral("&Password:"), this);
    m_lblPassword->setObjectName(QStringLiteral("lblLabels1"));
    m_txtPassword = new QLineEdit(this);
    m_txtPassword->setObjectName(QStringLiteral("txtPassword"));
    m_txtPassword->setEchoMode(QLineEdit::Password);
    // Real text, not a hint: Connect stays off until the user has typed a password.
    m_txtPassword->setText(QStringLiteral("password"));
    m_lblPassword->setBuddy(m_txtPassword);
    m_cmdOK = new QPushButton(QStringLiteral("Connect"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_label1, 0, 0);
    grid->addWidget(m_txtDBURI, 0, 1);
    grid->addWidget(m_cmdCAFile, 0, 2);
    grid->addWidget(m_lblCAFile, 1, 0);
    grid->addWidget(m_txtCAFile, 1, 1, 1, 2);
    grid->addWidget(m_lblUser, 2, 0);
    grid->addWidget(m_txtUserName, 2, 1, 1, 2);
    grid->addWidget(m_lblPassword, 3, 0);
    grid->addWidget(m_txtPassword, 3, 1, 1, 2);
    grid->addWidget(m_lblWarning, 4, 1, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    grid->addLayout(buttons, 5, 0, 1, 3);
    m_txtDBURI->setMinimumWidth(320);

    auto given = [](const QString &text) { return !text.trimmed().isEmpty(); };
    connect(m_txtDBURI, &QLineEdit::textChanged, this, [this, given](const QString &t) {
        m_uriGiven = given(t);
        updateConnect();
        updateWarning();
    });
    connect(m_txtUserName, &QLineEdit::textChanged, this, [this, given](const QString &t) {
        m_userGiven = given(t);
        updateConnect();
    });
    connect(m_txtPassword, &QLineEdit::textChanged, this, [this, given](const QString &t) {
        m_passwordGiven = given(t);
        updateConnect();
    });
    connect(m_cmdCAFile, &QPushButton::clicked, this, &frmLogin::chooseAuthority);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmLogin::connectClicked);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    m_txtUserName->setText(LoginName::proposedUserName());
    m_txtDBURI->setText(m_connection);
    updateConnect();
    setTabOrder(m_txtDBURI, m_cmdCAFile);
    setTabOrder(m_cmdCAFile, m_txtCAFile);
    setTabOrder(m_txtCAFile, m_txtUserName);
    setTabOrder(m_txtUserName, m_txtPassword);
    setTabOrder(m_txtPassword, m_cmdOK);
    setTabOrder(m_cmdOK, m_cmdCancel);
}

void frmLogin::setConnection(const QString &uri)
{
    m_connection = uri;
    m_txtDBURI->setText(uri);
    m_txtCAFile->setText(LoginSecurity::authorityFileOf(uri.trimmed()));
}

QString frmLogin::CAFile() const
{
    return m_txtCAFile->text().trimmed();
}

void frmLogin::updateConnect()
{
    m_cmdOK->setEnabled(m_uriGiven && m_userGiven && m_passwordGiven);
}

void frmLogin::updateWarning()
{
    m_lblWarning->setVisible(LoginSecurity::passwordSentInClear(m_txtDBURI->text()));
}

void frmLogin::chooseAuthority()
{
    if (!m_ui)
        return;
    const QString file = m_ui->openFileName(QStringLiteral("Certificate authority"),
                                            CAFile().isEmpty() ? QString() : QFileInfo(CAFile()).absolutePath(),
                                            QStringLiteral("Certificates (*.pem *.crt *.cer);;All files (*)"));
    if (!file.isEmpty())
        m_txtCAFile->setText(file);
}

void frmLogin::connectClicked()
{
    if (!m_cmdOK->isEnabled())
        return;
    Settings::save(kSection, kKey, m_txtUserName->text());
    LoginSecurity::saveAuthorityFile(m_txtDBURI->text().trimmed(), CAFile());
    emit LoginData(m_txtDBURI->text(), m_txtUserName->text(), m_txtPassword->text());
    accept();
}

} // namespace owb
