// The sample generator on any schema document, with and without a doctype to start from:
// a sample is a document that parses, or the generator says why there is none.
#include <QString>

#include <cstdint>

#include "FuzzCheck.h"
#include "common/OstrelError.h"
#include "schema/BuildNewDoc.h"

using namespace owb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString schema = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &doctype : {QString(), QStringLiteral("Order"), QStringLiteral("Book")}) {
        try {
            BuildNewDoc builder;
            const DomDocument sample = doctype.isNull() ? builder.CreateNewDoc(schema) : builder.CreateNewDoc(schema, doctype);
            const QString text = sample.xml();
            if (!sample.documentElement().isNull()) FUZZ_CHECK(fuzzcheck::wellFormed(text.toStdString()));
        } catch (const OstrelError &e) {
            FUZZ_CHECK(!e.description().isEmpty());
        }
    }
    return 0;
}
