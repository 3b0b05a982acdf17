#pragma once
#include "common/UserInteraction.h"
#include "support/ScriptedProgress.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace owb {

// For tests: records what was shown and answers from queues. An empty queue answers
// "No" / cancel / Rejected.
class ScriptedUserInteraction : public UserInteraction {
public:
    struct Shown {
        QString kind;   // "message", "question", "saveFile", "openFile", "openFiles", "directory", "dialog", "printer"
        QString title;
        QString text;   // message or question text; for file dialogs the proposed path or folder
        Icon icon = Icon::Information;
        bool defaultNo = false;   // a question whose default answer is No
    };

    QList<Shown> shown;
    QList<bool> questionAnswers;
    QStringList fileAnswers;                     // saveFileName, openFileName, directory
    QList<QStringList> fileListAnswers;          // openFileNames
    QList<std::function<int(QDialog *)>> dialogHandlers;
    // Every progress display begun, in order; a display cancels once a value reaches
    // cancelProgressAt (-1: never).
    QList<std::shared_ptr<owbtest::ProgressRecord>> progress;
    qint64 cancelProgressAt = -1;
    QStringList printAnswers;                    // choosePrinter: a PDF file to print into

    void message(const QString &text, const QString &title, Icon icon) override;
    bool question(const QString &text, const QString &title) override;
    bool questionDefaultNo(const QString &text, const QString &title) override;
    QString saveFileName(const QString &title, const QString &proposedPath, const QString &filter,
                         const QString &defaultSuffix) override;
    QString openFileName(const QString &title, const QString &dir, const QString &filter) override;
    QStringList openFileNames(const QString &title, const QString &dir, const QString &filter) override;
    QString directory(const QString &title, const QString &dir) override;
    int execDialog(QDialog *dialog) override;
    std::unique_ptr<Progress> beginProgress(const QString &title, const QString &label, qint64 maximum) override;
    bool choosePrinter(QPrinter &printer) override;

    // Texts of the message boxes shown so far.
    QStringList messages() const;
};

} // namespace owb
