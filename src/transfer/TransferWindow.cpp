#include "transfer/TransferWindow.h"

#include "common/OstrelError.h"
#include "common/UserInteraction.h"
#include "log/Outcome.h"
#include "transfer/clsImportAndExport.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace owb {

TransferWindow::TransferWindow(const AppContext &ctx, const QString &objectName, const QString &caption,
                               const QString &okCaption, QWidget *parent)
    : QDialog(parent), m_ctx(ctx)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *outer = new QVBoxLayout(this);
    m_form = new QFormLayout;
    outer->addLayout(m_form);
    txtOslURI = new QLineEdit(this);
    txtOslURI->setObjectName(QStringLiteral("txtOslURI"));
    txtDocTypeName = new QLineEdit(this);
    txtDocTypeName->setObjectName(QStringLiteral("txtDocTypeName"));
    auto *label1 = new QLabel(QStringLiteral("Ostrel URI:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setBuddy(txtOslURI);
    auto *label3 = new QLabel(QStringLiteral("Document type:"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setBuddy(txtDocTypeName);
    m_form->addRow(label1, txtOslURI);
    m_form->addRow(label3, txtDocTypeName);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    OKButton = new QPushButton(okCaption, this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    outer->addStretch();
    outer->addLayout(buttons);
    connect(CancelButton, &QPushButton::clicked, this, &QWidget::close);
}

void TransferWindow::showParm(const ImportExportParm &parm)
{
    m_parm = parm;
    txtOslURI->setText(parm.OstrelURI);
    txtDocTypeName->setText(parm.doctypename);
}

std::optional<TransferResult> TransferWindow::transfer(const Wording &wording, int count,
                                                       const std::function<TransferResult(clsImportAndExport &)> &run,
                                                       const std::function<void(clsImportAndExport &)> &wire)
{
    std::optional<TransferResult> result;
    OutcomeReporter(m_ctx).run(
        [&] {
            if (!m_ctx.connection || !m_ctx.formEncoder || !m_ctx.http || !m_ctx.log || !m_parm.DatabaseList)
                throw OstrelError(QStringLiteral("clsImportAndExport"),
                                  QStringLiteral("The transfer window was opened without its services"));
            clsImportAndExport engine(*m_ctx.connection, *m_ctx.formEncoder, *m_ctx.http, *m_ctx.log);
            engine.setLog(m_ctx.log);
            if (wire)
                wire(engine);
            const std::unique_ptr<Progress> progress = m_ctx.ui->beginProgress(wording.progressTitle, QString(), count);
            engine.setProgress(progress.get());
            QApplication::setOverrideCursor(Qt::WaitCursor);
            struct RestoreCursor {
                ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
            } restore;
            result = run(engine);
        },
        [&](const OstrelError &e) {
            return Outcome::message(wording.failure + QStringLiteral("\r\n") + e.description(), wording.resultTitle,
                                    UserInteraction::Icon::Exclamation);
        });
    return result;
}

} // namespace owb
