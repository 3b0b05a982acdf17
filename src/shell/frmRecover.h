#pragma once
#include "common/RecoveryStore.h"

#include <QDialog>
#include <QList>

#include <functional>

class QListWidget;
class QPushButton;

namespace owb {

// Offers the texts that ended processes left unsaved: each one restored into its document
// window, or discarded. Texts neither restored nor discarded are offered again at the next
// start.
class frmRecover : public QDialog {
    Q_OBJECT
public:
    // Puts one text into its window; false when it stays here (the window cannot open, or
    // the user kept that window's own changes).
    using Restore = std::function<bool(const RecoveryEntry &)>;

    frmRecover(RecoveryStore &store, const QList<RecoveryEntry> &entries, Restore restore, QWidget *parent = nullptr);
    ~frmRecover() override;

    // One row: database, collection, doctype, which text, and when it was written.
    static QString rowText(const RecoveryEntry &entry);

    void restoreSelected();
    void discardSelected();

    QListWidget *lstRecover;
    QPushButton *cmdRestore;
    QPushButton *cmdDiscard;

private:
    // Runs act on each selected row; a row goes when act says so. Done when none is left.
    void forSelected(const std::function<bool(const RecoveryEntry &)> &act);
    void updateButtons();

    RecoveryStore &m_store;
    QList<RecoveryEntry> m_entries;   // one per row
    Restore m_restore;
};

} // namespace owb
