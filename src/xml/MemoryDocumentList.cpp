#include "xml/MemoryDocumentList.h"

namespace owb {

void MemoryDocumentList::clear()
{
    m_texts.clear();
    m_ids.clear();
    m_current = -1;
}

void MemoryDocumentList::addEntry(const QString &text, qint32 id)
{
    m_texts.append(text);
    m_ids.append(id);
}

void MemoryDocumentList::setItemData(int index, qint32 id)
{
    if (index >= 0 && index < m_ids.size())
        m_ids[index] = id;
}

void MemoryDocumentList::setCurrentIndex(int index)
{
    m_current = index >= 0 && index < count() ? index : -1;
}

void MemoryDocumentList::removeAt(int index)
{
    if (index < 0 || index >= count())
        return;
    m_texts.removeAt(index);
    m_ids.removeAt(index);
    // Removing the selected entry leaves nothing selected; otherwise the same entry stays selected.
    if (m_current == index)
        m_current = -1;
    else if (m_current > index)
        --m_current;
}

} // namespace owb
