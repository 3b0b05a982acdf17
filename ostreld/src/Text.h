#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostreld::text {

// %XX to bytes; with plusIsBlank, "+" becomes " " (form encoding).
std::string percentDecode(std::string_view in, bool plusIsBlank);

// Splits a form-urlencoded text into decoded name/value byte strings.
std::vector<std::pair<std::string, std::string>> parseForm(std::string_view body);

// The charset parameter of a Content-Type value, lower-cased; empty when absent.
std::string charsetOf(std::string_view contentType);

// Converts bytes of the given charset to UTF-8; nullopt for an unknown charset or
// bytes that are not valid in it.
std::optional<std::string> toUtf8(std::string_view bytes, std::string_view charset);

bool isValidUtf8(std::string_view s);

// Escapes & < > " for element content and attribute values; bytes that are no UTF-8
// character and characters XML cannot hold become U+FFFD.
std::string escapeXml(std::string_view s);

std::optional<std::string> base64Decode(std::string_view in);

// A decimal id from 1 up that fits 32 bits (the client keeps ids as 32-bit integers).
std::optional<long long> parseId(std::string_view s);

} // namespace ostreld::text
