#include "UrlEncoding.h"
#include <cstring>

namespace owb::UrlEncoding {

namespace {

bool unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
        || c == '-' || c == '.' || c == '_' || c == '~';
}

} // namespace

QByteArray percentEncode(const QByteArray &bytes, const char *keep)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (unreserved(c) || (c != 0 && keep && std::strchr(keep, c))) {
            out.append(ch);
        } else {
            out.append('%');
            out.append(hex[c >> 4]);
            out.append(hex[c & 0x0F]);
        }
    }
    return out;
}

QByteArray encodeQueryValue(const QString &text)
{
    return percentEncode(text.toUtf8());
}

QByteArray encodePathSegment(const QString &text)
{
    return percentEncode(text.toUtf8(), ":@");
}

} // namespace owb::UrlEncoding
