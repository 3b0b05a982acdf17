#include "support/ScriptedUserInteraction.h"
#include <QDialog>
#include <QPrinter>

namespace owb {

void ScriptedUserInteraction::message(const QString &text, const QString &title, Icon icon)
{
    shown.append({QStringLiteral("message"), title, text, icon});
}

bool ScriptedUserInteraction::question(const QString &text, const QString &title)
{
    shown.append({QStringLiteral("question"), title, text, Icon::Question});
    return questionAnswers.isEmpty() ? false : questionAnswers.takeFirst();
}

bool ScriptedUserInteraction::questionDefaultNo(const QString &text, const QString &title)
{
    const bool yes = question(text, title);
    shown.last().defaultNo = true;
    return yes;
}

QString ScriptedUserInteraction::saveFileName(const QString &title, const QString &proposedPath,
                                              const QString &, const QString &)
{
    shown.append({QStringLiteral("saveFile"), title, proposedPath, Icon::Information});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString ScriptedUserInteraction::openFileName(const QString &title, const QString &dir, const QString &)
{
    shown.append({QStringLiteral("openFile"), title, dir, Icon::Information});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QStringList ScriptedUserInteraction::openFileNames(const QString &title, const QString &dir, const QString &)
{
    shown.append({QStringLiteral("openFiles"), title, dir, Icon::Information});
    return fileListAnswers.isEmpty() ? QStringList() : fileListAnswers.takeFirst();
}

QString ScriptedUserInteraction::directory(const QString &title, const QString &dir)
{
    shown.append({QStringLiteral("directory"), title, dir, Icon::Information});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

int ScriptedUserInteraction::execDialog(QDialog *dialog)
{
    shown.append({QStringLiteral("dialog"), dialog->windowTitle(), dialog->objectName(), Icon::Information});
    if (dialogHandlers.isEmpty())
        return QDialog::Rejected;
    return dialogHandlers.takeFirst()(dialog);
}

bool ScriptedUserInteraction::choosePrinter(QPrinter &printer)
{
    shown.append({QStringLiteral("printer"), QString(), QString(), Icon::Information});
    if (printAnswers.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printAnswers.takeFirst());
    return true;
}

QStringList ScriptedUserInteraction::messages() const
{
    QStringList out;
    for (const Shown &s : shown)
        if (s.kind == QLatin1String("message"))
            out << s.text;
    return out;
}

std::unique_ptr<Progress> ScriptedUserInteraction::beginProgress(const QString &title, const QString &label,
                                                                 qint64 maximum)
{
    auto record = std::make_shared<owbtest::ProgressRecord>();
    record->title = title;
    record->labels << label;
    record->maximum = maximum;
    record->cancelAtValue = cancelProgressAt;
    progress << record;
    return std::make_unique<owbtest::ScriptedProgress>(record);
}

} // namespace owb
