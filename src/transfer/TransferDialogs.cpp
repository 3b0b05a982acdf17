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

QWidget *openExport(const AppContext &ctx, QWidget *parent, const ImportExportParm &parm)
{
    auto *form = new frmExport(ctx, parent);
    form->setExportParm(parm);
    form->show();
    return form;
}

} // namespace owb::TransferDialogs
