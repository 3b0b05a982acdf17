#include "transfer/TransferDialogs.h"

#include "transfer/frmExport.h"
#include "transfer/frmImport.h"

namespace owb::TransferDialogs {

QWidget *openImport(const AppContext &ctx, QWidget *parent, const ImportExportParm &parm, bool nonXML,
                    std::function<void()> refreshList)
{
    auto *form = new frmImport(ctx, parent);
    form->setImportParm(parm);
    form->setNonXML(nonXML);
    QObject::connect(form, &frmImport::RefreshList, form, [refresh = std::move(refreshList)] {
        if (refresh)
            refresh();
    });
    form->show();
    return form;
}

void importFiles(QWidget *importWindow, const QStringList &files)
{
    if (auto *form = qobject_cast<frmImport *>(importWindow))
        form->importFiles(files);
}

QWidget *openExport(const AppContext &ctx, QWidget *parent, const ImportExportParm &parm)
{
    auto *form = new frmExport(ctx, parent);
    form->setExportParm(parm);
    form->show();
    return form;
}

} // namespace owb::TransferDialogs
