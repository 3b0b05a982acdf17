#pragma once
// Names and image keys shared by the document tree builders.
#include <QHash>
#include <QPair>
#include <QSet>
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

// Hands out each key once: a taken one gets the first free "_N" suffix.
class UniqueKeys {
public:
    QString unique(const QString &candidate)
    {
        if (!m_taken.contains(candidate)) {
            m_taken.insert(candidate);
            return candidate;
        }
        // Every suffix below the last one handed out stays taken: resuming there keeps wide
        // elements linear.
        int &n = m_nextSuffix[candidate];
        if (n < 1)
            n = 1;
        QString key;
        for (;; ++n) {
            key = candidate + u'_' + QString::number(n);
            if (!m_taken.contains(key))
                break;
        }
        ++n;
        m_taken.insert(key);
        return key;
    }

private:
    QSet<QString> m_taken;
    QHash<QString, int> m_nextSuffix;
};

} // namespace owb::treenames
