#pragma once
#include "xml/DocumentList.h"

class QListWidget;

namespace owb {

// IDocumentList onto a QListWidget; the id sits in Qt::UserRole. Only selecting an entry
// reaches the widget's listeners (currentRowChanged and the like): filling, emptying,
// removing and clearing the selection are no choice of a document.
class DocumentListAdapter : public IDocumentList {
public:
    explicit DocumentListAdapter(QListWidget *list);

    int count() const override;
    void clear() override;
    void addEntry(const QString &text, qint32 id) override;
    QString text(int index) const override;
    qint32 itemData(int index) const override;
    void setItemData(int index, qint32 id) override;
    int currentIndex() const override;
    void setCurrentIndex(int index) override;
    void removeAt(int index) override;

    QListWidget *widget() const { return m_list; }

private:
    QListWidget *m_list;
};

} // namespace owb
