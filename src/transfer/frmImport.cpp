#include "transfer/frmImport.h"

#include "common/Settings.h"
#include "common/UserInteraction.h"
#include "transfer/clsImportAndExport.h"
#include "xml/DocumentList.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace owb {

frmImport::frmImport(const AppContext &ctx, QWidget *parent)
    : TransferWindow(ctx, QStringLiteral("frmImport"), QStringLiteral("Import XML Document"),
                     QStringLiteral("Import"), parent)
{
    lblDocType = new QLabel(QStringLiteral("XML document"), this);
    lblDocType->setObjectName(QStringLiteral("lblDocType"));
    form()->addRow(QString(), lblDocType);

    lstImport = new QListWidget(this);
    lstImport->setObjectName(QStringLiteral("lstImport"));
    lstImport->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstImport->installEventFilter(this);
    Command1 = new QPushButton(QStringLiteral("Select ..."), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    form()->addRow(lstImport);
    form()->addRow(Command1);
    lblImportDir = new QLabel(this);
    lblImportDir->setObjectName(QStringLiteral("lblImportDir"));
    lblImportDir->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblImportDir->setWordWrap(true);
    form()->addRow(QStringLiteral("Start folder:"), lblImportDir);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    form()->addRow(lblStatus);
    resize(560, 420);

    connect(Command1, &QPushButton::clicked, this, &frmImport::select);
    connect(OKButton, &QPushButton::clicked, this, &frmImport::runImport);
}

void frmImport::setImportParm(const ImportExportParm &parm)
{
    showParm(parm);
    lblImportDir->setText(startDir());
}

QString frmImport::startDir() const
{
    const QString dir = m_lastDir.isEmpty() ? m_parm.DirName : m_lastDir;
    return dir.isEmpty() ? dir : QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath());
}

void frmImport::setNonXML(bool nonXML)
{
    m_nonXML = nonXML;
    lblDocType->setText(nonXML ? QStringLiteral("Non XML document") : QStringLiteral("XML document"));
}

void frmImport::select()
{
    const QStringList files = m_ctx.ui->openFileNames(QStringLiteral("Import xml files into Ostrel"),
                                                      startDir(),
                                                      QStringLiteral("xml files (*.xml);;All files (*)"));
    if (files.isEmpty())
        return;
    lstImport->addItems(files);
    m_lastDir = QFileInfo(files.first()).absolutePath();
    lblImportDir->setText(startDir());
}

void frmImport::importFiles(const QStringList &files)
{
    lstImport->addItems(files);
    runImport();
}

bool frmImport::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstImport && event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
            for (int i = lstImport->count() - 1; i >= 0; --i)
                if (lstImport->item(i)->isSelected())
                    delete lstImport->takeItem(i);
            return true;
        }
    }
    return TransferWindow::eventFilter(watched, event);
}

void frmImport::runImport()
{
    if (lstImport->count() == 0)
        return;
    QStringList files;
    for (int i = 0; i < lstImport->count(); ++i)
        files << lstImport->item(i)->text();
    const QString uri = txtOslURI->text();
    const QString doctype = txtDocTypeName->text();

    const bool nonXML = m_nonXML;
    const std::optional<TransferResult> result = transfer(
        {QStringLiteral("Import"), QStringLiteral("Result of import"),
         QStringLiteral("Failed to load documents. Look at the log")},
        int(files.size()),
        [&](clsImportAndExport &engine) {
            IDocumentList &list = *m_parm.DatabaseList;
            return nonXML ? engine.ImportNonXMLFiles(uri, doctype, files, list)
                          : engine.ImportXMLFiles(uri, doctype, files, list);
        },
        [this](clsImportAndExport &engine) {
            connect(&engine, &clsImportAndExport::Status, lblStatus, &QLabel::setText);
            connect(&engine, &clsImportAndExport::UploadError, this,
                    [this](bool silent, const QString &message, bool &goOn) {
                        if (!silent)
                            goOn = m_ctx.ui->question(message + QStringLiteral("\r\nContinue?"),
                                                      QStringLiteral("Continue?"));
                    });
        });
    if (!result)
        return;
    m_ctx.ui->message(result->cancelled
                          ? QStringLiteral("Import cancelled: %1 of %2 documents have been imported, see log")
                                .arg(result->done)
                                .arg(result->total)
                          : QStringLiteral("All documents have been imported, see log"),
                      QStringLiteral("Result of import"), UserInteraction::Icon::Information);
    if (!m_lastDir.isEmpty())
        Settings::save(QStringLiteral("config"), QStringLiteral("importdir"), m_lastDir);
    if (m_nonXML)
        emit RefreshList();
    close();
}

} // namespace owb
