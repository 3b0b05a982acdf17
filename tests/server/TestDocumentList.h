#pragma once
#include "xml/DocumentList.h"

#include <QList>
#include <QPair>

namespace owbtest {

// A plain in-memory document list, so the request layer is tested without widgets.
class TestDocumentList : public owb::IDocumentList {
public:
    int count() const override { return int(m_items.size()); }
    void clear() override { m_items.clear(); m_current = -1; }
    void addEntry(const QString &text, qint32 id) override { m_items.append({text, id}); }
    QString text(int index) const override { return m_items.at(index).first; }
    qint32 itemData(int index) const override { return m_items.at(index).second; }
    void setItemData(int index, qint32 id) override { m_items[index].second = id; }
    int currentIndex() const override { return m_current; }
    void setCurrentIndex(int index) override { m_current = index; }
    void removeAt(int index) override { m_items.removeAt(index); }

private:
    QList<QPair<QString, qint32>> m_items;
    int m_current = -1;
};

} // namespace owbtest
