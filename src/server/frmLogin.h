#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace owb {

// Asks for a database URI, user name and password. Connect raises LoginData once; Cancel
// raises nothing and saves nothing. Shown modally by its opener (through UserInteraction).
class frmLogin : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Connection READ Connection WRITE setConnection)
public:
    explicit frmLogin(QWidget *parent = nullptr);

    QString Connection() const { return m_connection; }
    void setConnection(const QString &uri);

    // The operating system's login name of the current user.
    static QString currentUserName();

signals:
    void LoginData(const QString &uri, const QString &userId, const QString &password);

private:
    void updateConnect();
    void connectClicked();

    QString m_connection;
    bool m_uriGiven = false;
    bool m_userGiven = false;
    bool m_passwordGiven = false;
    QLabel *m_label1;
    QLineEdit *m_txtDBURI;
    QLabel *m_lblUser;
    QLineEdit *m_txtUserName;
    QLabel *m_lblPassword;
    QLineEdit *m_txtPassword;
    QPushButton *m_cmdOK;
    QPushButton *m_cmdCancel;
};

} // namespace owb
