#pragma once
#include "transfer/TransferWindow.h"

class QLabel;
class QListWidget;

namespace owb {

// Collects local files and imports them into the doctype of the window it was opened from.
class frmImport : public TransferWindow {
    Q_OBJECT
public:
    explicit frmImport(const AppContext &ctx, QWidget *parent = nullptr);

    void setImportParm(const ImportExportParm &parm);
    void setNonXML(bool nonXML);
    // Appends files to the list and imports the list, as the Import button does.
    void importFiles(const QStringList &files);

    QLabel *lblDocType;
    QListWidget *lstImport;
    QPushButton *Command1;
    QLabel *lblImportDir;   // the folder "Select ..." starts in, in full
    QLabel *lblStatus;

signals:
    // After a non-XML import: the opener's list no longer shows what is stored.
    void RefreshList();

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void select();
    void runImport();
    QString startDir() const;

    bool m_nonXML = false;
    QString m_lastDir;   // the directory of the last selection
};

} // namespace owb
