// The commands of the Navigate window and of the document window's first toolbar.
#include "cli/Tool.h"
#include "common/OstrelError.h"
#include "navigation/DocTree.h"
#include "navigation/buildDocTree.h"
#include "schema/BuildNewDoc.h"
#include "schema/SchemaSource.h"
#include "schema/clsSchema.h"
#include "schema/clsVerify.h"
#include "server/ServerClient.h"
#include "server/clsOstrelAccess.h"
#include "xml/MemoryDocumentList.h"
#include "xml/xmlutil.h"

#include <QStringList>

namespace owb::cli {

namespace {

// The doctype nodes of the Navigate window's tree, in its order.
class DoctypeList : public IDocTree {
public:
    QStringList names;
    void clear() override
    {
        names.clear();
        m_keys.clear();
    }
    bool contains(const QString &key) const override { return m_keys.contains(key); }
    void addNode(const QString &, const QString &key, const QString &, const QString &,
                 const QString &tag) override
    {
        m_keys << key;
        if (tag == QLatin1String("Document"))
            names << key;
    }

private:
    QStringList m_keys;
};

void runQueryInto(Tool &tool, const DocumentTarget &target, const QString &filter, MemoryDocumentList &list)
{
    ServerClient(tool.http).query(target.CollectionURI(), target.query(filter), list);
}

QString missingDocument(const DocumentTarget &target, qint32 id)
{
    return QStringLiteral("No document %1 with osl:id=%2 in %3")
        .arg(target.DoctypeName())
        .arg(id)
        .arg(target.CollectionURI());
}

} // namespace

int runDoctypes(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const QString db = databaseUriOf(inv);
    buildDocTree builder(tool.http);
    DoctypeList tree;
    builder.buildTree(db, tree);
    for (const QString &name : tree.names)
        tool.console.dataLine(name);
    return Done;
}

int runQuery(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv);
    MemoryDocumentList list;
    runQueryInto(tool, target, inv.arguments.value(3), list);
    if (list.count() == 0) {
        tool.console.message(QStringLiteral("Nothing found"));
        return Done;
    }
    if (!inv.has(QStringLiteral("--xml"))) {
        for (qint32 id : list.ids())
            tool.console.dataLine(QString::number(id));
        return Done;
    }
    const clsOstrelAccess access(tool.connection, tool.encoder, tool.http);
    const xmlutil formatter;
    for (qint32 id : list.ids()) {
        const DomNode element = access.getDocument(target.CollectionURI(), target.DoctypeName(), id);
        // Removed since the query: the workbench drops such an entry too.
        if (element.isNull()) {
            tool.console.message(missingDocument(target, id));
            continue;
        }
        tool.console.data(asLine(formatter.FormatXML(element)).toUtf8());
    }
    return Done;
}

int runGet(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv);
    const qint32 id = documentIdOf(inv, inv.arguments.value(3));
    const clsOstrelAccess access(tool.connection, tool.encoder, tool.http);
    const bool raw = inv.has(QStringLiteral("--raw"));
    const DomNode element = access.getDocument(target.CollectionURI(), target.DoctypeName(), id, raw);
    if (element.isNull())
        fail(missingDocument(target, id));
    const QString text = raw ? element.xml() : xmlutil().FormatXML(element);
    tool.console.data(asLine(text).toUtf8());
    return Done;
}

int runStore(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv, false);
    const QStringList files = inv.arguments.mid(2);
    // Every file is read and checked before the first is stored, so a typo stores nothing.
    QStringList texts;
    const clsVerify verify(&tool.http);
    for (const QString &file : files) {
        const QString text = tool.files.LoadXmlFile(file);
        if (text.trimmed().isEmpty())
            fail(file + QStringLiteral(": the file is empty"));
        if (const auto err = verify.CheckWellFormedNess(text))
            fail(located(file, err->LineNumber, err->Reason));
        texts << text;
    }
    login(tool, inv, target.DatabaseURI());
    const clsOstrelAccess access(tool.connection, tool.encoder, tool.http);
    MemoryDocumentList list;
    for (int i = 0; i < files.size(); ++i) {
        try {
            tool.console.dataLine(access.ProcessRequest(target.CollectionURI(), texts[i], list));
        } catch (const OstrelError &e) {
            fail(files[i] + QStringLiteral(": ") + e.description());
        }
    }
    return Done;
}

int runRemove(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv);
    QList<qint32> ids;
    for (const QString &text : inv.arguments.mid(3))
        ids << documentIdOf(inv, text);
    login(tool, inv, target.DatabaseURI());
    const clsOstrelAccess access(tool.connection, tool.encoder, tool.http);
    for (qint32 id : ids) {
        // Fetched first, as the workbench removes the document it shows: a wrong id is told
        // as such instead of as a removal of nothing.
        DomNode element = access.getDocument(target.CollectionURI(), target.DoctypeName(), id);
        if (element.isNull())
            fail(missingDocument(target, id));
        access.RemoveDocument(element, target.CollectionURI());
    }
    return Done;
}

int runNew(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv);
    clsSchema loader(&tool.http);
    const DomNode schema = loader.GetSchema(target.DatabaseURI(), target.CollectionName(), target.DoctypeName());
    if (schema.isNull())
        fail(QStringLiteral("Can't create a new document since schema is missing"));
    if (loader.NonXML())
        fail(QStringLiteral("Document type %1 holds non-XML documents: add them with owb import")
                 .arg(target.DoctypeName()));
    const xmlutil formatter;
    // Included and imported schemas come from the server; the sample is checked as the
    // workbench checks it, through the validation work files.
    ServerSchemaSource stored(&tool.http, target.DatabaseURI());
    BuildNewDoc builder;
    builder.setSchemaSource(&stored);
    builder.setChecker([&](const QString &text) -> std::optional<QString> {
        const auto err = clsVerify(&tool.http).ValidateWithSchema(text, schema, target.DoctypeName(), stored.found());
        if (!err)
            return std::nullopt;
        return QStringLiteral("line %1: %2").arg(err->LineNumber).arg(err->Reason);
    });
    // A schema may declare several doctypes: start from the one asked for.
    const DomDocument sample = builder.CreateNewDoc(formatter.FormatXML(schema), target.DoctypeName());
    tool.console.data(asLine(formatter.FormatXML(sample)).toUtf8());
    return Done;
}

} // namespace owb::cli
