#pragma once
#include <string>
#include <string_view>

namespace ostreld::envelope {

// Whole answer: declaration plus osl:response holding the given children.
std::string wrap(std::string_view children);
// wrap's two halves, for an answer built in place.
std::string head();
std::string_view tail();
std::string query(std::string_view xpath);
std::string ok(std::string_view line);
std::string failure(int code, std::string_view text);
std::string object(std::string_view collection, std::string_view doctype, long long id);
// "1 document", "3 documents"
std::string count(size_t n, std::string_view noun);

// A stored root element's text as it goes into xql:result: the declarations of the
// prefixes osl:response already binds are dropped from its start tag.
std::string inResult(std::string_view rootText);
std::string inResult(std::string &&rootText);

} // namespace ostreld::envelope
