#include "Text.h"

#include <algorithm>
#include <cctype>

namespace ostreld::text {

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string &out, unsigned cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// 0x80..0x9F of windows-1252; 0 marks the five unassigned bytes.
constexpr unsigned short kCp1252[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
    0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
} // namespace

std::string percentDecode(std::string_view in, bool plusIsBlank)
{
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '%' && i + 2 < in.size()) {
            int hi = hexValue(in[i + 1]), lo = hexValue(in[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += (plusIsBlank && c == '+') ? ' ' : c;
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parseForm(std::string_view body)
{
    std::vector<std::pair<std::string, std::string>> out;
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t amp = body.find('&', pos);
        if (amp == std::string_view::npos) amp = body.size();
        std::string_view pair = body.substr(pos, amp - pos);
        if (!pair.empty()) {
            size_t eq = pair.find('=');
            std::string_view name = pair.substr(0, eq);
            std::string_view value = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
            out.emplace_back(percentDecode(name, true), percentDecode(value, true));
        }
        pos = amp + 1;
    }
    return out;
}

std::string charsetOf(std::string_view contentType)
{
    std::string lower(contentType);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    size_t p = lower.find("charset=");
    if (p == std::string::npos) return {};
    std::string value = lower.substr(p + 8);
    size_t end = value.find(';');
    if (end != std::string::npos) value.resize(end);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

bool isValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        int extra;
        unsigned cp;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
        else return false;
        if (i + extra >= s.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = s[i + k];
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr unsigned kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::optional<std::string> toUtf8(std::string_view bytes, std::string_view charset)
{
    if (charset.empty() || charset == "utf-8" || charset == "utf8") {
        if (!isValidUtf8(bytes)) return std::nullopt;
        return std::string(bytes);
    }
    if (charset == "us-ascii" || charset == "ascii") {
        for (unsigned char c : bytes)
            if (c >= 0x80) return std::nullopt;
        return std::string(bytes);
    }
    const bool latin1 = charset == "iso-8859-1" || charset == "iso8859-1" || charset == "latin1"
                        || charset == "l1" || charset == "iso_8859-1";
    const bool cp1252 = charset == "windows-1252" || charset == "cp1252";
    if (!latin1 && !cp1252) return std::nullopt;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (unsigned char c : bytes) {
        unsigned cp = c;
        if (cp1252 && c >= 0x80 && c < 0xA0) {
            cp = kCp1252[c - 0x80];
            if (cp == 0) return std::nullopt;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string escapeXml(std::string_view s)
{
    // What a client sent comes back in answers (a path, a query): bytes that are no UTF-8
    // character, and characters XML cannot hold, would make the whole answer unreadable.
    static const std::string kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            const size_t len = u >= 0xF0 ? 4 : u >= 0xE0 ? 3 : 2;
            const std::string_view seq = s.substr(i, len);
            const bool nonCharacter = seq == "\xEF\xBF\xBE" || seq == "\xEF\xBF\xBF";
            if (u >= 0xC0 && seq.size() == len && isValidUtf8(seq)) {
                out += nonCharacter ? kReplacement : std::string(seq);
                i += len;
            } else {
                out += kReplacement;
                ++i;
            }
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t': case '\n': case '\r': out += c; break;
        default:
            // Control characters cannot appear in XML 1.0 at all.
            if (u < 0x20) out += kReplacement;
            else out += c;
        }
        ++i;
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view in)
{
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    std::string out;
    unsigned acc = 0;
    int bits = 0;
    size_t i = 0;
    for (; i < in.size() && in[i] != '='; ++i) {
        int v = value(in[i]);
        if (v < 0) return std::nullopt;
        acc = (acc << 6) | unsigned(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((acc >> bits) & 0xFF);
        }
    }
    for (; i < in.size(); ++i)
        if (in[i] != '=') return std::nullopt;
    return out;
}

std::optional<long long> parseId(std::string_view s)
{
    if (s.empty() || s.size() > 10) return std::nullopt;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > 2147483647LL) return std::nullopt;
    return v;
}

} // namespace ostreld::text
