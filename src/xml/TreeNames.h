#pragma once
// Names and image keys shared by the document tree builders.
#include <QHash>
#include <QPair>
#include <QString>

#include <libxml/tree.h>

namespace owb::treenames {

inline const QString kDocument = QStringLiteral("Document");
inline const QString kElement = QStringLiteral("Element");
inline const QString kAttribute = QStringLiteral("Attribute");

// libxml2 keeps names in a dictionary, so siblings of one name share one QString.
class NameCache {
public:
    const QString &qName(const xmlNs *ns, const xmlChar *name)
    {
        const xmlChar *prefix = ns ? ns->prefix : nullptr;
        auto it = m_names.constFind({prefix, name});
        if (it != m_names.constEnd())
            return *it;
        QString q = QString::fromUtf8(reinterpret_cast<const char *>(name));
        if (prefix)
            q = QString::fromUtf8(reinterpret_cast<const char *>(prefix)) + u':' + q;
        return *m_names.insert({prefix, name}, q);
    }

private:
    QHash<QPair<const void *, const void *>, QString> m_names;
};

} // namespace owb::treenames
