#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace owb {

class UserInteraction;

// Asks for a database URI, user name and password, and the certificate authority to trust for
// the URI. Connect raises LoginData once; Cancel raises nothing and saves nothing. Shown
// modally by its opener (through UserInteraction, which also asks for the authority file).
// An http:// URI to another machine shows that the password would go out unencrypted.
class frmLogin : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Connection READ Connection WRITE setConnection)
    Q_PROPERTY(QString CAFile READ CAFile)
public:
    explicit frmLogin(QWidget *parent = nullptr, UserInteraction *ui = nullptr);

    QString Connection() const { return m_connection; }
    // Also shows the authority file stored for the URI.
    void setConnection(const QString &uri);
    // The authority file in the dialog, trimmed; empty: the system's authorities only.
    QString CAFile() const;

    // The operating system's login name of the current user.
    static QString currentUserName();

signals:
    void LoginData(const QString &uri, const QString &userId, const QString &password);

private:
    void updateConnect();
    void updateWarning();
    void chooseAuthority();
    void connectClicked();

    UserInteraction *m_ui;

    QString m_connection;
    bool m_uriGiven = false;
    bool m_userGiven = false;
    bool m_passwordGiven = false;
    QLabel *m_label1;
    QLineEdit *m_txtDBURI;
    QPushButton *m_cmdCAFile;
    QLabel *m_lblCAFile;
    QLineEdit *m_txtCAFile;
    QLabel *m_lblWarning;
    QLabel *m_lblUser;
    QLineEdit *m_txtUserName;
    QLabel *m_lblPassword;
    QLineEdit *m_txtPassword;
    QPushButton *m_cmdOK;
    QPushButton *m_cmdCancel;
};

} // namespace owb
