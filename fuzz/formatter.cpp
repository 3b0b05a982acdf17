// The formatter on any document: what it writes is well-formed, says what the input said
// (only indentation between markup changes), and formatting it again changes nothing.
#include <QString>

#include <cstdint>

#include "FuzzCheck.h"
#include "common/OstrelError.h"
#include "xml/xmlutil.h"

using namespace owb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    QString formatted;
    try {
        formatted = xmlutil().FormatXML(text);
    } catch (const OstrelError &e) {
        FUZZ_CHECK(!e.description().isEmpty());
        return 0;
    }
    const std::string out = formatted.toStdString();
    FUZZ_CHECK(fuzzcheck::wellFormed(out));
    // The text's own encoding declaration does not describe a QString.
    if (text.toUtf8() == bytes && !text.contains(u"encoding"))
        FUZZ_CHECK(fuzzcheck::content(out) == fuzzcheck::content(bytes.toStdString()));
    FUZZ_CHECK(xmlutil().FormatXML(formatted) == formatted);
    return 0;
}
