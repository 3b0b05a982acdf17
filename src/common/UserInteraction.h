#pragma once
#include <QString>
#include <QStringList>
#include <QList>
#include <functional>

class QDialog;
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
    // Empty result: cancelled.
    virtual QString saveFileName(const QString &title, const QString &proposedPath,
                                 const QString &filter, const QString &defaultSuffix) = 0;
    virtual QString openFileName(const QString &title, const QString &dir, const QString &filter) = 0;
    virtual QStringList openFileNames(const QString &title, const QString &dir, const QString &filter) = 0;
    virtual QString directory(const QString &title, const QString &dir) = 0;
    // Shows a dialog modally and returns its result code (QDialog::Accepted / Rejected).
    virtual int execDialog(QDialog *dialog) = 0;
};

class QtUserInteraction : public UserInteraction {
public:
    explicit QtUserInteraction(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void message(const QString &text, const QString &title, Icon icon) override;
    bool question(const QString &text, const QString &title) override;
    QString saveFileName(const QString &title, const QString &proposedPath, const QString &filter,
                         const QString &defaultSuffix) override;
    QString openFileName(const QString &title, const QString &dir, const QString &filter) override;
    QStringList openFileNames(const QString &title, const QString &dir, const QString &filter) override;
    QString directory(const QString &title, const QString &dir) override;
    int execDialog(QDialog *dialog) override;

private:
    QWidget *m_parent;
};

// For tests: records what was shown and answers from queues. An empty queue answers
// "No" / cancel / Rejected.
class ScriptedUserInteraction : public UserInteraction {
public:
    struct Shown {
        QString kind;   // "message", "question", "saveFile", "openFile", "openFiles", "directory", "dialog"
        QString title;
        QString text;   // message or question text; for file dialogs the proposed path or folder
        Icon icon = Icon::Information;
    };

    QList<Shown> shown;
    QList<bool> questionAnswers;
    QStringList fileAnswers;                     // saveFileName, openFileName, directory
    QList<QStringList> fileListAnswers;          // openFileNames
    QList<std::function<int(QDialog *)>> dialogHandlers;

    void message(const QString &text, const QString &title, Icon icon) override;
    bool question(const QString &text, const QString &title) override;
    QString saveFileName(const QString &title, const QString &proposedPath, const QString &filter,
                         const QString &defaultSuffix) override;
    QString openFileName(const QString &title, const QString &dir, const QString &filter) override;
    QStringList openFileNames(const QString &title, const QString &dir, const QString &filter) override;
    QString directory(const QString &title, const QString &dir) override;
    int execDialog(QDialog *dialog) override;

    // Texts of the message boxes shown so far.
    QStringList messages() const;
};

} // namespace owb
