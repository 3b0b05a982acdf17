// The ISO-8859-1 writer on any document: its bytes read as ISO-8859-1 say what the input
// said, and a refusal says where and why. First byte: bit 0 the CDATA mode, bit 1 the
// rest read as UTF-16 (so that lone surrogates come too) instead of UTF-8.
#include <QString>

#include <cstdint>

#include "FuzzCheck.h"
#include "xml/Latin1Xml.h"

using namespace owb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) return 0;
    const auto mode = (data[0] & 1) ? Latin1Xml::CDataMode::AsText : Latin1Xml::CDataMode::Fail;
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const qsizetype restSize = qsizetype(size - 1);
    const QString text = (data[0] & 2) ? QString(reinterpret_cast<const QChar *>(rest), restSize / 2)
                                       : QString::fromUtf8(rest, restSize);

    Latin1Xml::Failure failure;
    const auto bytes = Latin1Xml::encode(text, mode, &failure);
    if (!bytes) {
        if (failure.brokenCharacter) {
            FUZZ_CHECK(failure.position >= 0 && failure.position < text.size() && text.at(failure.position).isSurrogate());
        } else {
            FUZZ_CHECK(failure.character > 0xFF && !failure.place.isEmpty());
            FUZZ_CHECK(failure.line >= 1 && failure.line <= text.count(u'\n') + 1);
        }
        FUZZ_CHECK(!Latin1Xml::encode(text, mode));   // no failure record wanted: the same answer
        return 0;
    }
    FUZZ_CHECK(text.isValidUtf16());
    const std::string utf8 = text.toStdString();
    if (text.contains(u"encoding") || !fuzzcheck::wellFormed(utf8)) return 0;
    const std::string latin1(bytes->constData(), size_t(bytes->size()));
    FUZZ_CHECK(fuzzcheck::content(latin1, "ISO-8859-1") == fuzzcheck::content(utf8));
    return 0;
}
