#pragma once
#include "common/AppContext.h"
#include "transfer/ImportExportParm.h"

#include <QStringList>
#include <functional>

class QWidget;

namespace owb {

// The import and export windows as a document window's commands open them: shown at once,
// not modal, children of parent.
namespace TransferDialogs {

// refreshList runs whenever the import window asks its opener to query again (RefreshList).
QWidget *openImport(const AppContext &ctx, QWidget *parent, const ImportExportParm &parm, bool nonXML,
                    std::function<void()> refreshList);
// Lists files in an import window openImport gave and imports them, as its Import button does.
void importFiles(QWidget *importWindow, const QStringList &files);
QWidget *openExport(const AppContext &ctx, QWidget *parent, const ImportExportParm &parm);

} // namespace TransferDialogs
} // namespace owb
