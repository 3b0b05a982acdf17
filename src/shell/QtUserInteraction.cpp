#include "shell/QtUserInteraction.h"
#include "shell/QtProgress.h"
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace owb {

void QtUserInteraction::message(const QString &text, const QString &title, Icon icon)
{
    QMessageBox::Icon qi = QMessageBox::Information;
    switch (icon) {
    case Icon::Information: qi = QMessageBox::Information; break;
    case Icon::Exclamation: qi = QMessageBox::Warning; break;
    case Icon::Critical: qi = QMessageBox::Critical; break;
    case Icon::Question: qi = QMessageBox::Question; break;
    }
    QMessageBox box(qi, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtUserInteraction::question(const QString &text, const QString &title)
{
    return QMessageBox::question(m_parent, title, text, QMessageBox::Yes | QMessageBox::No)
           == QMessageBox::Yes;
}

bool QtUserInteraction::questionDefaultNo(const QString &text, const QString &title)
{
    return QMessageBox::question(m_parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

QString QtUserInteraction::saveFileName(const QString &title, const QString &proposedPath,
                                        const QString &filter, const QString &defaultSuffix)
{
    QFileDialog dlg(m_parent, title, proposedPath, filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    // Callers ask about an existing file themselves, in their own words; never twice.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.setDefaultSuffix(defaultSuffix);
    if (!proposedPath.isEmpty())
        dlg.selectFile(proposedPath);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

QString QtUserInteraction::openFileName(const QString &title, const QString &dir, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, dir, filter);
}

QStringList QtUserInteraction::openFileNames(const QString &title, const QString &dir, const QString &filter)
{
    return QFileDialog::getOpenFileNames(m_parent, title, dir, filter);
}

QString QtUserInteraction::directory(const QString &title, const QString &dir)
{
    return QFileDialog::getExistingDirectory(m_parent, title, dir);
}

int QtUserInteraction::execDialog(QDialog *dialog)
{
    return dialog->exec();
}

std::unique_ptr<Progress> QtUserInteraction::beginProgress(const QString &title, const QString &label,
                                                           qint64 maximum)
{
    return std::make_unique<QtProgress>(m_parent, title, label, maximum);
}

bool QtUserInteraction::choosePrinter(QPrinter &printer)
{
    const QPrinterInfo standard = QPrinterInfo::defaultPrinter();
    if (!standard.isNull()) {
        printer.setPrinterName(standard.printerName());
        return true;
    }
    QPrintDialog dlg(&printer, m_parent);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace owb
