#include "navigation/buildDocTree.h"

#include "common/AppPaths.h"
#include "common/OstrelError.h"
#include "navigation/DocTree.h"
#include "server/ServerClient.h"
#include "xml/DomDocument.h"
#include "xml/Xslt.h"

namespace owb {

namespace {

constexpr quint32 BuildError = 0x80040001u;
const QString RootKey = QStringLiteral("root");

} // namespace

struct buildDocTree::Impl {
    XsltTransform sorter;
};

buildDocTree::buildDocTree(const HttpClient &http) : m_http(http), d(std::make_unique<Impl>())
{
    const QString path = AppPaths::dataFile(QStringLiteral("xsl/sortschema.xsl"));
    DomDocument style = NewDOMDocument(false, true);
    QString reason;
    if (style.load(path)) {
        try {
            d->sorter.loadStylesheet(style);
            return;
        } catch (const OstrelError &e) {
            reason = e.description();
        }
    } else {
        reason = style.parseError().reason;
    }
    throw OstrelError(QStringLiteral("buildDocTree"),
                      QStringLiteral("Failed to load stylesheet ") + path + QStringLiteral("\r\n") + reason);
}

buildDocTree::~buildDocTree() = default;

QStringList buildDocTree::sortedEntries(const DomDocument &answer) const
{
    const DomDocument sorted = d->sorter.transformToDocument(answer);
    QStringList names;
    const DomNode root = sorted.documentElement();
    if (root.isNull())
        return names;
    for (const DomNode &entry : root.childNodes())
        if (entry.nodeType() == DomNodeType::Element)
            names << entry.getAttribute(QStringLiteral("name"));
    return names;
}

void buildDocTree::buildTree(const QString &databaseURI, IDocTree &tree)
{
    ServerAnswer answer;
    try {
        answer = ServerClient(m_http).schemaInformation(databaseURI);
    } catch (const OstrelError &e) {
        // The user stopped it: the tree stays as it was, with nothing of the new database in it.
        if (!e.isCancelled())
            tree.clear();
        throw e.reworded(QStringLiteral("buildDoc"), QStringLiteral("Failed to load osl:collection\r\n") + e.description(),
                         BuildError);
    }
    tree.clear();
    if (answer.result().isNull())
        throw OstrelError(QStringLiteral("buildDoc"), QStringLiteral("Database is empty"), BuildError);

    // A database without schemas answers with an empty result: the tree keeps its root, and
    // the user learns why there is nothing below it.
    if (fillTree(sortedEntries(answer.document()), tree) == 0)
        throw OstrelError(QStringLiteral("buildDoc"), QStringLiteral("Database is empty"), BuildError);
}

QString buildDocTree::schemaInfoUrl(const QString &databaseURI)
{
    return ServerClient::queryUrl(ServerClient::schemaCollectionUri(databaseURI), ServerClient::schemaInformationQuery());
}

int buildDocTree::fillTree(const QStringList &names, IDocTree &tree)
{
    auto add = [&tree](const QString &parent, const QString &key, const QString &text,
                       const QString &image, const QString &tag) {
        // Entries of one collection that are not adjacent would otherwise give a second
        // node under the same key.
        if (tree.contains(key))
            throw OstrelError(QStringLiteral("buildDoc"),
                              QStringLiteral("Key is not unique in collection: ") + key, BuildError);
        tree.addNode(parent, key, text, image, tag);
    };

    add(QString(), RootKey, QStringLiteral("Ostrel Documents"), QStringLiteral("Collections"),
        QStringLiteral("Root"));
    QString current;
    bool haveCurrent = false;
    int doctypes = 0;
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
            add(RootKey, current, current, QStringLiteral("ClosedCollection"), QStringLiteral("Collection"));
        }
        add(current, name, name, QStringLiteral("Document"), QStringLiteral("Document"));
        ++doctypes;
    }
    return doctypes;
}

} // namespace owb
