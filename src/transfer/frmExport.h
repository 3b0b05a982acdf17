#pragma once
#include "transfer/TransferWindow.h"

class QCheckBox;

namespace owb {

// Picks a local directory and exports every document of the opener's list into it.
class frmExport : public TransferWindow {
    Q_OBJECT
public:
    explicit frmExport(const AppContext &ctx, QWidget *parent = nullptr);

    void setExportParm(const ImportExportParm &parm);

    QLineEdit *Dir1;           // the export directory; the picker beside it changes it
    QPushButton *cmdPickDir;
    QLineEdit *txtNewDir;
    QPushButton *Command1;
    QCheckBox *chkWithoutOslID;

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void pickDirectory();
    void newDirectory();
    void runExport();
};

} // namespace owb
