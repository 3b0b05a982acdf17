#include "UrlEncoding.h"
#include <cstring>

namespace owb::UrlEncoding {

namespace {

bool unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
        || c == '-' || c == '.' || c == '_' || c == '~';
}

QByteArray encode(const QString &text, const char *keep)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
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

} // namespace

QByteArray encodeQueryValue(const QString &text)
{
    return encode(text, nullptr);
}

QByteArray encodePathSegment(const QString &text)
{
    return encode(text, ":@");
}

} // namespace owb::UrlEncoding
