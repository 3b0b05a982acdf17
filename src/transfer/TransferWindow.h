#pragma once
#include "common/AppContext.h"
#include "transfer/ImportExportParm.h"
#include "transfer/clsImportAndExport.h"

#include <QDialog>
#include <functional>
#include <optional>

class QFormLayout;
class QLineEdit;
class QPushButton;

namespace owb {

class clsImportAndExport;

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

    struct Wording {
        QString progressTitle;   // "Import"
        QString resultTitle;     // title of the closing message box
        QString failure;         // first line of the message of a failed transfer
    };
    // Runs the transfer with a new engine (wire connects to its events first). A failure is
    // shown as the wording's failure line, CR LF, the error; then there is no result.
    std::optional<TransferResult> transfer(const Wording &wording, int count,
                                           const std::function<TransferResult(clsImportAndExport &)> &run,
                                           const std::function<void(clsImportAndExport &)> &wire = {});

    AppContext m_ctx;
    ImportExportParm m_parm;

private:
    QFormLayout *m_form;
};

} // namespace owb
