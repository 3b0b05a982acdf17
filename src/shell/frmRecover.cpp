#include "shell/frmRecover.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace owb {

frmRecover::frmRecover(RecoveryStore &store, const QList<RecoveryEntry> &entries, Restore restore, QWidget *parent)
    : QDialog(parent), m_store(store), m_entries(entries), m_restore(std::move(restore))
{
    setObjectName(QStringLiteral("frmRecover"));
    setWindowTitle(QStringLiteral("Recover unsaved documents"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *intro = new QLabel(QStringLiteral("The workbench ended while these texts were neither stored nor saved.\n"
                                            "Restore opens each in the window of its document type; "
                                            "Discard deletes it. The others are offered again at the next start."),
                             this);
    intro->setWordWrap(true);
    lstRecover = new QListWidget(this);
    lstRecover->setObjectName(QStringLiteral("lstRecover"));
    lstRecover->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const RecoveryEntry &e : m_entries)
        lstRecover->addItem(rowText(e));
    lstRecover->selectAll();
    cmdRestore = new QPushButton(QStringLiteral("&Restore"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore->setDefault(true);
    cmdDiscard = new QPushButton(QStringLiteral("&Discard"), this);
    cmdDiscard->setObjectName(QStringLiteral("cmdDiscard"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdDiscard);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(lstRecover, 1);
    layout->addLayout(buttons);
    resize(640, 300);

    connect(cmdRestore, &QPushButton::clicked, this, &frmRecover::restoreSelected);
    connect(cmdDiscard, &QPushButton::clicked, this, &frmRecover::discardSelected);
    connect(lstRecover, &QListWidget::itemSelectionChanged, this, &frmRecover::updateButtons);
    connect(lstRecover, &QListWidget::itemDoubleClicked, this, &frmRecover::restoreSelected);
}

frmRecover::~frmRecover()
{
    m_store.releaseOrphans();
}

QString frmRecover::rowText(const RecoveryEntry &e)
{
    QString which = e.shown;
    if (e.editor == QLatin1String("stylesheet"))
        which = QStringLiteral("the stylesheet");
    else if (!e.id.isEmpty())
        which = QStringLiteral("osl:id=") + e.id;
    return QStringLiteral("database %1, collection %2, doctype %3, %4, %5")
        .arg(e.database, e.collection, e.doctype, which,
             e.savedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

void frmRecover::restoreSelected()
{
    forSelected([this](const RecoveryEntry &e) {
        if (!m_restore || !m_restore(e))
            return false;
        // The window has its own copy on disk by now.
        RecoveryStore::discard(e);
        return true;
    });
}

void frmRecover::discardSelected()
{
    forSelected([](const RecoveryEntry &e) {
        RecoveryStore::discard(e);
        return true;
    });
}

void frmRecover::forSelected(const std::function<bool(const RecoveryEntry &)> &act)
{
    QList<int> done;
    for (int row = 0; row < lstRecover->count(); ++row)
        if (lstRecover->item(row)->isSelected() && act(m_entries.at(row)))
            done.prepend(row);
    for (int row : done) {
        delete lstRecover->takeItem(row);
        m_entries.removeAt(row);
    }
    if (m_entries.isEmpty())
        accept();
    else
        updateButtons();
}

void frmRecover::updateButtons()
{
    const bool any = !lstRecover->selectedItems().isEmpty();
    cmdRestore->setEnabled(any);
    cmdDiscard->setEnabled(any);
}

} // namespace owb
