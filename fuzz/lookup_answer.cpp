// The query-result reader on any answer, pushed in two pieces split anywhere: the pieces give
// what the whole gives, every listed hit carries its id, and a refusal is an OstrelError.
#include <QByteArray>

#include <cstdint>

#include "FuzzCheck.h"
#include "common/OstrelError.h"
#include "server/LookUp.h"
#include "xml/MemoryDocumentList.h"

using namespace owb;

namespace {

struct Result {
    QStringList texts;
    QList<qint32> ids;
    QString error;
    bool failed = false;
};

Result read(const QByteArray &answer, qsizetype split)
{
    MemoryDocumentList list;
    LookUp reader;
    reader.setDocumentList(&list);
    Result r;
    try {
        reader.begin(QStringLiteral("fuzz"));
        reader.feed(answer.constData(), size_t(split));
        reader.feed(answer.constData() + split, size_t(answer.size() - split));
        reader.finish();
    } catch (const OstrelError &e) {
        r.failed = true;
        r.error = e.description();
        FUZZ_CHECK(!r.error.isEmpty());
    }
    FUZZ_CHECK(reader.hits() == list.count());
    r.texts = list.texts();
    r.ids = list.ids();
    for (const QString &text : r.texts) FUZZ_CHECK(text.startsWith(QStringLiteral("osl:id=")));
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) return 0;
    const QByteArray answer(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const Result whole = read(answer, 0);
    const Result pieces = read(answer, qsizetype(data[0]) * answer.size() / 256);
    FUZZ_CHECK(whole.texts == pieces.texts && whole.ids == pieces.ids && whole.failed == pieces.failed);
    return 0;
}
