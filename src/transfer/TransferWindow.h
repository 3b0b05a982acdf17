#pragma once
#include "common/AppContext.h"
#include "transfer/ImportExportParm.h"

#include <QDialog>
#include <functional>

class QFormLayout;
class QLineEdit;
class QPushButton;

namespace owb {

class clsImportAndExport;
struct TransferResult;

// What the import and export windows share: the target fields, Cancel, and running one
// transfer with the wait cursor and a progress display.
class TransferWindow : public QDialog {
    Q_OBJECT
public:
    QLineEdit *txtOslURI;
    QLineEdit *txtDocTypeName;
    QPushButton *OKButton;
    QPushButton *CancelButton;

protected:
    TransferWindow(const AppContext &ctx, const QString &objectName, const QString &caption,
                   const QString &okCaption, QWidget *parent);
    QFormLayout *form() const { return m_form; }
    void showParm(const ImportExportParm &parm);

    // Runs the transfer with a new engine; throws what the engine throws.
    TransferResult transfer(const QString &progressTitle, int count,
                            const std::function<TransferResult(clsImportAndExport &)> &run,
                            const std::function<void(clsImportAndExport &)> &wire = {});

    AppContext m_ctx;
    ImportExportParm m_parm;

private:
    QFormLayout *m_form;
};

} // namespace owb
