#include "workbench/DocumentListAdapter.h"

#include <QListWidget>
#include <QSignalBlocker>

namespace owb {

DocumentListAdapter::DocumentListAdapter(QListWidget *list) : m_list(list) {}

int DocumentListAdapter::count() const
{
    return m_list->count();
}

void DocumentListAdapter::clear()
{
    const QSignalBlocker quiet(m_list);
    m_list->clear();
}

void DocumentListAdapter::addEntry(const QString &text, qint32 id)
{
    auto *item = new QListWidgetItem(text);
    item->setData(Qt::UserRole, id);
    const QSignalBlocker quiet(m_list);
    m_list->addItem(item);
}

QString DocumentListAdapter::text(int index) const
{
    const QListWidgetItem *item = m_list->item(index);
    return item ? item->text() : QString();
}

qint32 DocumentListAdapter::itemData(int index) const
{
    const QListWidgetItem *item = m_list->item(index);
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void DocumentListAdapter::setItemData(int index, qint32 id)
{
    if (QListWidgetItem *item = m_list->item(index))
        item->setData(Qt::UserRole, id);
}

int DocumentListAdapter::currentIndex() const
{
    return m_list->currentRow();
}

void DocumentListAdapter::setCurrentIndex(int index)
{
    QSignalBlocker quiet(m_list);
    if (index >= 0)
        quiet.unblock();
    m_list->setCurrentRow(index);
}

void DocumentListAdapter::removeAt(int index)
{
    const QSignalBlocker quiet(m_list);
    delete m_list->takeItem(index);
}

} // namespace owb
