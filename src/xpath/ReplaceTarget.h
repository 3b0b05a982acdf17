#pragma once
#include "server/DoctypeRef.h"
#include "xpath/XPathReplace.h"

#include <QList>
#include <QString>

namespace owb {

// What the find & replace window works on: one document window's doctype, the document it
// shows and the documents it lists.
class ReplaceTarget {
public:
    virtual ~ReplaceTarget() = default;

    virtual DoctypeRef doctypeRef() const = 0;
    // The prefixes the doctype's schema binds (beyond the four every query knows).
    virtual Prefixes schemaPrefixes() const = 0;
    // The document page's text as it stands, edits included.
    virtual QString documentText() const = 0;
    // Puts text on the document page as one edit that the editor's undo takes back, and
    // shows it as the tree. Nothing is stored.
    virtual void replaceDocumentText(const QString &text) = 0;
    // The ids of the listed documents, in list order.
    virtual QList<qint32> listedIds() const = 0;
    // These stored documents were changed on the server: a page showing one of them is out
    // of date.
    virtual void documentsChanged(const QList<qint32> &ids) = 0;
};

} // namespace owb
