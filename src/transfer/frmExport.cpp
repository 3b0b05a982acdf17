#include "transfer/frmExport.h"

#include "common/Settings.h"
#include "common/UserInteraction.h"
#include "transfer/clsImportAndExport.h"
#include "xml/DocumentList.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace owb {

frmExport::frmExport(const AppContext &ctx, QWidget *parent)
    : TransferWindow(ctx, QStringLiteral("frmExport"), QStringLiteral("Export XML Document"),
                     QStringLiteral("Export"), parent)
{
    Dir1 = new QLineEdit(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    cmdPickDir = new QPushButton(QStringLiteral("..."), this);
    cmdPickDir->setObjectName(QStringLiteral("cmdPickDir"));
    cmdPickDir->setToolTip(QStringLiteral("Choose the export directory"));
    auto *dirRow = new QHBoxLayout;
    dirRow->addWidget(Dir1);
    dirRow->addWidget(cmdPickDir);
    auto *label4 = new QLabel(QStringLiteral("Export directory:"), this);
    label4->setObjectName(QStringLiteral("Label4"));
    label4->setBuddy(Dir1);
    form()->addRow(label4, dirRow);

    txtNewDir = new QLineEdit(QStringLiteral("<newdir>"), this);
    txtNewDir->setObjectName(QStringLiteral("txtNewDir"));
    txtNewDir->installEventFilter(this);
    Command1 = new QPushButton(QStringLiteral("New Dir"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *newRow = new QHBoxLayout;
    newRow->addWidget(txtNewDir);
    newRow->addWidget(Command1);
    form()->addRow(QString(), newRow);

    chkWithoutOslID = new QCheckBox(QStringLiteral("Without ID"), this);
    chkWithoutOslID->setObjectName(QStringLiteral("chkWithoutOslID"));
    chkWithoutOslID->setToolTip(QStringLiteral("Without document id (osl:id)"));
    form()->addRow(QString(), chkWithoutOslID);
    resize(560, 240);

    connect(cmdPickDir, &QPushButton::clicked, this, &frmExport::pickDirectory);
    connect(Command1, &QPushButton::clicked, this, &frmExport::newDirectory);
    connect(OKButton, &QPushButton::clicked, this, &frmExport::runExport);
}

void frmExport::setExportParm(const ImportExportParm &parm)
{
    showParm(parm);
    Dir1->setText(QDir::toNativeSeparators(parm.DirName));
}

bool frmExport::eventFilter(QObject *watched, QEvent *event)
{
    // After the focus change itself, or the click that gave the focus undoes the selection.
    if (watched == txtNewDir && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, txtNewDir, &QLineEdit::selectAll);
    return TransferWindow::eventFilter(watched, event);
}

void frmExport::pickDirectory()
{
    const QString chosen = m_ctx.ui->directory(QStringLiteral("Export directory"), Dir1->text());
    if (!chosen.isEmpty())
        Dir1->setText(QDir::toNativeSeparators(chosen));
}

void frmExport::newDirectory()
{
    const QString path = QDir(Dir1->text()).filePath(txtNewDir->text());
    if (QFileInfo::exists(path)) {
        m_ctx.ui->message(QStringLiteral("Directory ") + path + QStringLiteral(" already exists"),
                          QStringLiteral("Directory exists"), UserInteraction::Icon::Information);
        return;
    }
    if (!QDir().mkdir(path))
        m_ctx.ui->message(QStringLiteral("Directory ") + path + QStringLiteral(" could not be created"),
                          QStringLiteral("New Dir"), UserInteraction::Icon::Exclamation);
}

void frmExport::runExport()
{
    const QString uri = txtOslURI->text();
    const QString doctype = txtDocTypeName->text();
    const QString dir = Dir1->text();
    const bool withoutId = chkWithoutOslID->isChecked();
    const std::optional<TransferResult> result = transfer(
        {QStringLiteral("Export"), QStringLiteral("Result of export"), QStringLiteral("Failed to export documents")},
        m_parm.DatabaseList ? m_parm.DatabaseList->count() : 0, [&](clsImportAndExport &engine) {
            return engine.ExportXMLFiles(uri, doctype, dir, *m_parm.DatabaseList, withoutId);
        });
    if (!result)
        return;
    m_ctx.ui->message(result->cancelled
                          ? QStringLiteral("Export cancelled: %1 of %2 documents have been exported to directory %3")
                                .arg(result->done)
                                .arg(result->total)
                                .arg(dir)
                          : QStringLiteral("All documents have been exported to directory ") + dir,
                      QStringLiteral("Result of export"), UserInteraction::Icon::Information);
    Settings::save(QStringLiteral("config"), QStringLiteral("exportdir"), dir);
    close();
}

} // namespace owb
