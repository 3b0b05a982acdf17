#include "navigation/buildDocTree.h"

#include "common/AppPaths.h"
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "common/UrlEncoding.h"
#include "navigation/DocTree.h"

namespace owb {

namespace {

constexpr quint32 BuildError = 0x80040001u;
const QString RootKey = QStringLiteral("root");

} // namespace

QString buildDocTree::schemaInfoUrl(const QString &databaseURI)
{
    return databaseURI + QStringLiteral("/osl:collection?_xql=")
        + QString::fromLatin1(UrlEncoding::encodeQueryValue(
              QStringLiteral("xs:schema/xs:annotation/xs:appinfo/osd:schemaInfo")));
}

void buildDocTree::fillTree(const QStringList &names, IDocTree &tree)
{
    auto add = [&tree](const QString &parent, const QString &key, const QString &image,
                       const QString &tag) {
        // Entries of one collection that are not adjacent would otherwise give a second
        // node under the same key.
        if (tree.contains(key))
            throw OstrelError(QStringLiteral("buildDoc"),
                              QStringLiteral("Key is not unique in collection: ") + key, BuildError);
        tree.addNode(parent, key, key == RootKey && parent.isEmpty()
                                      ? QStringLiteral("Ostrel Documents") : key,
                     image, tag);
    };

    add(QString(), RootKey, QStringLiteral("Collections"), QStringLiteral("Root"));
    QString current;
    bool haveCurrent = false;
    for (const QString &name : names) {
        if (name.isEmpty())
            continue;
        const QString collection = name.section(QLatin1Char('/'), 0, 0);
        // A doctype cannot hang below a collection without a name.
        if (collection.isEmpty())
            continue;
        if (!haveCurrent || collection != current) {
            current = collection;
            haveCurrent = true;
            add(RootKey, current, QStringLiteral("ClosedCollection"), QStringLiteral("Collection"));
        }
        add(current, name, QStringLiteral("Document"), QStringLiteral("Document"));
    }
}

} // namespace owb
