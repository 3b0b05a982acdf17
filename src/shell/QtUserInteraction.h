#pragma once
#include "common/UserInteraction.h"

class QWidget;

namespace owb {

// Message boxes and file dialogs of Qt, parented to the given window.
class QtUserInteraction : public UserInteraction {
public:
    explicit QtUserInteraction(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

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

private:
    QWidget *m_parent;
};

} // namespace owb
