// ostreld's decoders of what a client sends: form bodies and query strings, percent escapes,
// charsets, Basic credentials, ids. Each result is checked against what it promises.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "Text.h"

using namespace ostreld;

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Text without "%XX" and "+" decodes to itself.
bool needsDecoding(std::string_view s)
{
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == '+' || (s[i] == '%' && i + 2 < s.size() && isHex(s[i + 1]) && isHex(s[i + 2]))) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);

    const std::string decoded = text::percentDecode(in, true);
    FUZZ_CHECK(decoded.size() <= in.size());
    if (!needsDecoding(in)) FUZZ_CHECK(decoded == in);

    size_t pairs = 0;
    for (auto &[name, value] : text::parseForm(in)) {
        FUZZ_CHECK(name.size() + value.size() <= in.size());
        ++pairs;
    }
    FUZZ_CHECK(pairs <= in.size());

    const std::string charset = text::charsetOf(in);
    for (char c : charset) FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
    for (std::string_view cs : {std::string_view(charset), std::string_view("iso-8859-1"),
                                std::string_view("windows-1252"), std::string_view("utf-8")}) {
        if (auto utf8 = text::toUtf8(in, cs)) FUZZ_CHECK(text::isValidUtf8(*utf8));
    }

    const std::string escaped = text::escapeXml(in);
    FUZZ_CHECK(escaped.find('<') == std::string::npos);
    if (text::isValidUtf8(in)) FUZZ_CHECK(fuzzcheck::wellFormed("<a b=\"" + escaped + "\">" + escaped + "</a>"));

    if (auto credentials = text::base64Decode(in)) FUZZ_CHECK(credentials->size() <= in.size());
    if (auto id = text::parseId(in)) FUZZ_CHECK(*id >= 1 && *id <= 2147483647LL && std::to_string(*id).size() <= in.size());
    return 0;
}
