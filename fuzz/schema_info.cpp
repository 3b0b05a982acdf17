// The Navigate window's tree from any schema-information answer, as buildTree reads it once
// the answer has arrived: refused answers, the sorting stylesheet, the tree with its keys.
#include <QByteArray>
#include <QCoreApplication>
#include <QSet>

#include <cstdint>

#include "FuzzCheck.h"
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "navigation/DocTree.h"
#include "navigation/buildDocTree.h"
#include "server/ServerAnswer.h"

using namespace owb;

namespace {

// Refuses what a tree view would: a repeated key, a parent not there yet.
class CheckedTree : public IDocTree {
public:
    QSet<QString> keys;
    void clear() override { keys.clear(); }
    bool contains(const QString &key) const override { return keys.contains(key); }
    void addNode(const QString &parentKey, const QString &key, const QString &, const QString &,
                 const QString &) override
    {
        FUZZ_CHECK(!keys.contains(key));
        FUZZ_CHECK(parentKey.isEmpty() || keys.contains(parentKey));
        keys.insert(key);
    }
};

HttpClient *http;
buildDocTree *builder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("OSTREL_WORKBENCH_HOME", OWB_DATA_DIR);
    new QCoreApplication(*argc, *argv);
    http = new HttpClient;
    builder = new buildDocTree(*http);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ServerAnswer answer;
    if (!answer.load(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)))) return 0;
    if (answer.failure() || answer.result().isNull()) return 0;
    CheckedTree tree;
    try {
        const QStringList names = builder->sortedEntries(answer.document());
        const int doctypes = buildDocTree::fillTree(names, tree);
        FUZZ_CHECK(doctypes >= 0 && doctypes <= names.size() && tree.keys.size() <= 1 + 2 * doctypes);
    } catch (const OstrelError &e) {
        FUZZ_CHECK(!e.description().isEmpty());
    }
    return 0;
}
