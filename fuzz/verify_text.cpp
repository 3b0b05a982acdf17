// The text surgery before validation on any document and schema text: the rewritten text is
// well-formed whenever the user's was, and its last line maps back to the user's last line.
#include <QString>

#include <cstdint>

#include "FuzzCheck.h"
#include "schema/VerifyText.h"

using namespace owb;
using namespace owb::verifytext;

namespace {

const QString kNs = QStringLiteral("http://namespaces.ostrel.org/validation");

bool wellFormed(const QString &text)
{
    return fuzzcheck::wellFormed(text.toUtf8().toStdString());
}

void checkTag(const QString &text, const StartTag &tag)
{
    if (tag.isNull()) return;
    FUZZ_CHECK(tag.start < tag.nameEnd && tag.nameEnd < tag.end && tag.end <= text.size());
    FUZZ_CHECK(text.at(tag.start) == u'<' && text.at(tag.end - 1) == u'>');
    for (const Attribute &a : tag.attributes)
        FUZZ_CHECK(tag.nameEnd <= a.start && a.start < a.end && a.end < tag.end);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    // Encoding declarations other than UTF-8 say nothing about a QString's text.
    const bool wasWellFormed = text.toUtf8() == bytes && wellFormed(text) && !text.contains(u"encoding");

    const StartTag root = rootStartTag(text);
    checkTag(text, root);
    const QString doctype = root.isNull() ? QStringLiteral("Order") : root.name;

    const PreparedDocument doc = prepareDocument(text, kNs, doctype, QStringLiteral("work/schema.xsd"));
    FUZZ_CHECK(doc.rootLine >= 1 && doc.rootLine <= lineAt(text, text.size()));
    FUZZ_CHECK(doc.lines.toOriginal(lineAt(doc.text, doc.text.size())) == lineAt(text, text.size()));
    if (wasWellFormed && !doc.rootMissing) FUZZ_CHECK(wellFormed(doc.text));

    if (!root.isNull() && !root.attribute(QStringLiteral("targetNamespace"))) {
        const PreparedSchema schema = prepareSchema(text, QString(), kNs);
        FUZZ_CHECK(schema.ns == kNs);
        if (wasWellFormed) FUZZ_CHECK(wellFormed(schema.text));
    }
    return 0;
}
