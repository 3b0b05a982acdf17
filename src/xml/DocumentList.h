#pragma once
#include <QString>

namespace owb {

// An ordered list of display text + document id entries (the document window's list). Logic
// fills it through this; a QListWidget adapter sits in its own file.
class IDocumentList {
public:
    virtual ~IDocumentList() = default;
    virtual int count() const = 0;
    virtual void clear() = 0;
    virtual void addEntry(const QString &text, qint32 id) = 0;
    virtual QString text(int index) const = 0;
    virtual qint32 itemData(int index) const = 0;
    virtual void setItemData(int index, qint32 id) = 0;
    virtual int currentIndex() const = 0;      // -1: none
    virtual void setCurrentIndex(int index) = 0;
    virtual void removeAt(int index) = 0;
};

} // namespace owb
