#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace owb {

class UserInteraction;

// Title, version and description of the program, and a way to the system's own information
// tool. Modeless; deletes itself when closed.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(UserInteraction &ui, QWidget *parent = nullptr);

    // Starts the first system-information tool found on the PATH, or says there is none.
    void StartSysInfo();

private:
    UserInteraction &m_ui;
    QLabel *picIcon;
    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblDescription;
    QLabel *lblDisclaimer;
    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;
};

} // namespace owb
