#include "Envelope.h"

#include "Names.h"
#include "Text.h"

namespace ostreld::envelope {

std::string head()
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osl:response xmlns:osl=\"";
    out += kOslUri;
    out += "\" xmlns:xql=\"";
    out += kXqlUri;
    out += "\">";
    return out;
}

std::string_view tail()
{
    return "</osl:response>\n";
}

std::string wrap(std::string_view children)
{
    std::string out = head();
    out.reserve(out.size() + children.size() + tail().size());
    out += children;
    out += tail();
    return out;
}

std::string query(std::string_view xpath)
{
    return "<xql:query>" + text::escapeXml(xpath) + "</xql:query>";
}

std::string ok(std::string_view line)
{
    return "<osl:message osl:returnvalue=\"0\"><osl:messageline>" + text::escapeXml(line)
           + "</osl:messageline></osl:message>";
}

std::string failure(int code, std::string_view reason)
{
    const std::string n = std::to_string(code);
    return "<osl:message osl:returnvalue=\"" + n + "\"><osl:messagetext osl:code=\"OSL" + n + "\">"
           + text::escapeXml(reason) + "</osl:messagetext></osl:message>";
}

std::string object(std::string_view collection, std::string_view doctype, long long id)
{
    return "<osl:object osl:collection=\"" + text::escapeXml(collection) + "\" osl:doctype=\"" + text::escapeXml(doctype)
           + "\" osl:id=\"" + std::to_string(id) + "\"/>";
}

std::string count(size_t n, std::string_view noun)
{
    return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

std::string inResult(std::string_view rootText)
{
    return inResult(std::string(rootText));
}

std::string inResult(std::string &&rootText)
{
    // The start tag ends at the first '>' outside a quoted value; serialised values
    // escape '>' anyway, the quote tracking is for hand-written texts.
    size_t end = 0;
    char quote = 0;
    for (; end < rootText.size(); ++end) {
        char c = rootText[end];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    // Stored texts come from our own serialiser: double quotes, '"' escaped in values.
    for (const char *uri : {kOslUri, kXqlUri}) {
        const std::string decl = std::string(" xmlns:") + (uri == kOslUri ? "osl" : "xql") + "=\"" + uri + "\"";
        const size_t p = std::string_view(rootText).substr(0, end).find(decl);
        if (p != std::string::npos) {
            rootText.erase(p, decl.size());
            end -= decl.size();
        }
    }
    return std::move(rootText);
}

} // namespace ostreld::envelope
