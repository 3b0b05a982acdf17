#pragma once
#include <QByteArray>
#include <QString>

namespace owb::UrlEncoding {

// The one percent encoder: every byte outside A-Z a-z 0-9 - . _ ~ and outside keep becomes
// %XX. Form values and URL parts differ only in how their text became bytes and in keep.
QByteArray percentEncode(const QByteArray &bytes, const char *keep = nullptr);

// UTF-8, every byte outside A-Z a-z 0-9 - . _ ~ as %XX ("+" included), so that a server
// decoding application/x-www-form-urlencoded sees exactly the text.
QByteArray encodeQueryValue(const QString &text);
// One path segment: like encodeQueryValue but ":" and "@" stay literal.
QByteArray encodePathSegment(const QString &text);

} // namespace owb::UrlEncoding
