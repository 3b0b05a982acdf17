#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "common/Progress.h"

class QDialog;
class QPrinter;
class QWidget;

namespace owb {

// Every message box, question, file dialog and modal dialog goes through this, so that tests
// can answer them from a script instead of blocking.
class UserInteraction {
public:
    enum class Icon { Information, Exclamation, Critical, Question };

    virtual ~UserInteraction() = default;

    virtual void message(const QString &text, const QString &title, Icon icon) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(const QString &text, const QString &title) = 0;
    // The same with No as the default answer, for questions where Yes loses something.
    virtual bool questionDefaultNo(const QString &text, const QString &title) { return question(text, title); }
    // Empty result: cancelled. An existing file is not questioned here: the caller decides.
    virtual QString saveFileName(const QString &title, const QString &proposedPath,
                                 const QString &filter, const QString &defaultSuffix) = 0;
    virtual QString openFileName(const QString &title, const QString &dir, const QString &filter) = 0;
    virtual QStringList openFileNames(const QString &title, const QString &dir, const QString &filter) = 0;
    virtual QString directory(const QString &title, const QString &dir) = 0;
    // Shows a dialog modally and returns its result code (QDialog::Accepted / Rejected).
    virtual int execDialog(QDialog *dialog) = 0;
    // A progress display for a long operation; see Progress.
    virtual std::unique_ptr<Progress> beginProgress(const QString &title, const QString &label,
                                                    qint64 maximum) = 0;
    // Points printer at where a print job goes: the system's default printer, or, where there
    // is none, the one the user picks. False: cancelled.
    virtual bool choosePrinter(QPrinter &printer) = 0;
};

// Before a save replaces a file: true when there is no file at path or the user said Yes.
bool confirmOverwrite(UserInteraction &ui, const QString &path);

} // namespace owb
