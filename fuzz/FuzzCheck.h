#pragma once
// What the fuzz targets share: a check that stops the run with a message, a scratch folder of
// this process, and an independent well-formedness test.
#include <libxml/parser.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#define FUZZ_CHECK(cond)                                                                          \
    do {                                                                                          \
        if (!(cond)) {                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);         \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace fuzzcheck {

// Below /dev/shm where there is one: the targets that write files should not wait on a disk.
inline std::filesystem::path scratchDir(const std::string &name)
{
    namespace fs = std::filesystem;
    fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path dir = base / ("owb-fuzz-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

inline void silentErrors(void *, const char *, ...) {}

// libxml2 straight, without this project's loading code, and without network or entities.
inline xmlDocPtr parse(std::string_view text, const char *encoding = nullptr)
{
    xmlSetGenericErrorFunc(nullptr, silentErrors);
    return xmlReadMemory(text.data(), int(text.size()), "fuzz.xml", encoding, XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
}

inline bool wellFormed(std::string_view text)
{
    xmlDocPtr doc = parse(text);
    xmlFreeDoc(doc);
    return doc != nullptr;
}

} // namespace fuzzcheck

#include <libxml/c14n.h>
#include <libxml/tree.h>

namespace fuzzcheck {

inline bool blankText(xmlNodePtr n)
{
    if (n->type != XML_TEXT_NODE) return false;
    for (const xmlChar *p = n->content; p && *p; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') return false;
    return true;
}

// Drops blank text between the elements of element-only content (indentation), keeping it
// where it is data: under xml:space="preserve", beside other text, as an element's only text.
inline void dropIndentation(xmlNodePtr parent, bool preserve)
{
    bool elements = false, mixed = false;
    for (xmlNodePtr c = parent->children; c; c = c->next) {
        if (c->type == XML_ELEMENT_NODE) elements = true;
        else if ((c->type == XML_TEXT_NODE && !blankText(c)) || c->type == XML_CDATA_SECTION_NODE
                 || c->type == XML_ENTITY_REF_NODE)
            mixed = true;
    }
    for (xmlNodePtr c = parent->children; c;) {
        xmlNodePtr next = c->next;
        if (c->type == XML_ELEMENT_NODE) {
            const int space = xmlNodeGetSpacePreserve(c);
            dropIndentation(c, space == 1);
        } else if (!preserve && elements && !mixed && blankText(c)) {
            xmlUnlinkNode(c);
            xmlFreeNode(c);
        }
        c = next;
    }
}

// Canonical XML (with comments) of text after dropping indentation; empty when the text is
// not well-formed or cannot be canonicalised (entity references, for one).
inline std::string content(std::string_view text, const char *encoding = nullptr)
{
    xmlDocPtr doc = xmlReadMemory(text.data(), int(text.size()), "fuzz.xml", encoding,
                                  XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | (encoding ? XML_PARSE_IGNORE_ENC : 0));
    if (!doc) return {};
    dropIndentation(reinterpret_cast<xmlNodePtr>(doc), false);
    xmlChar *out = nullptr;
    int n = xmlC14NDocDumpMemory(doc, nullptr, XML_C14N_1_0, nullptr, 1, &out);
    std::string result = n >= 0 && out ? std::string(reinterpret_cast<char *>(out), size_t(n)) : std::string();
    xmlFree(out);
    xmlFreeDoc(doc);
    return result;
}

} // namespace fuzzcheck
