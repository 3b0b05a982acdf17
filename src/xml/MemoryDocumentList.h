#pragma once
#include "xml/DocumentList.h"

#include <QList>
#include <QStringList>

namespace owb {

// A document list held in memory: for callers without a list widget (the command-line tool,
// logic tests). Reads out of range give an empty text and id 0.
class MemoryDocumentList : public IDocumentList {
public:
    int count() const override { return int(m_texts.size()); }
    void clear() override;
    void addEntry(const QString &text, qint32 id) override;
    QString text(int index) const override { return m_texts.value(index); }
    qint32 itemData(int index) const override { return m_ids.value(index); }
    void setItemData(int index, qint32 id) override;
    int currentIndex() const override { return m_current; }
    void setCurrentIndex(int index) override;
    void removeAt(int index) override;

    const QStringList &texts() const { return m_texts; }
    const QList<qint32> &ids() const { return m_ids; }

private:
    QStringList m_texts;
    QList<qint32> m_ids;
    int m_current = -1;
};

} // namespace owb
